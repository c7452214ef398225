#pragma once

// The floor grid of the 3D view: lines on the station's z = 0 plane,
// `spacing` millimetres apart, `count` of them on each side of the origin
// in x and in y.

#include <QtQuick3D/QQuick3DGeometry>

namespace zrv::core {

class GridGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(double spacing READ spacing WRITE setSpacing NOTIFY changed)
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY changed)

public:
    explicit GridGeometry(QQuick3DObject* parent = nullptr);

    double spacing() const { return step; }
    void setSpacing(double value);
    int count() const { return lines; }
    void setCount(int value);

signals:
    void changed();

private:
    void rebuild();

    double step = 100;
    int lines = 10;
};

} // namespace zrv::core
