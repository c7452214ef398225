#pragma once

// The parts of the 3D view's move handle, of unit size: an arrow along +z
// from the origin to 1 (a shaft and a cone at its end), or a ring of
// radius 1 about the z axis in the xy plane. Thick enough to see at the
// handle's size; drawn without lighting in one colour per axis.

#include <QtQuick3D/QQuick3DGeometry>

namespace zrv::core {

class HandleGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(Part part READ part WRITE setPart NOTIFY partChanged)

public:
    enum class Part
    {
        Arrow,
        Ring,
    };
    Q_ENUM(Part)

    explicit HandleGeometry(QQuick3DObject* parent = nullptr);

    Part part() const { return shape; }
    void setPart(Part value);

signals:
    void partChanged();

private:
    void build();

    Part shape = Part::Arrow;
};

} // namespace zrv::core
