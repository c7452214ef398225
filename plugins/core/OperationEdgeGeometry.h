#pragma once

// The edges of the selected operation (OperationTravel) as the 3D view
// draws them, in the station's frame: each edge a square tube `thickness`
// millimetres across in a colour of its own, with arrowheads (cones about
// `arrowLength` long, a darker shade of the edge's colour) pointing the way
// the path runs it. Both lie on the edge's face, just beside the edge, so
// that an edge in an inner corner is not hidden in the material. Rebuilt
// when the edges or the sizes change.

#include <QtCore/QPointer>
#include <QtGui/QColor>
#include <QtQuick3D/QQuick3DGeometry>

namespace zrv::core {

class OperationTravel;

class OperationEdgeGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(QObject* travel READ travel WRITE setTravel NOTIFY travelChanged)
    Q_PROPERTY(double thickness READ thickness WRITE setThickness NOTIFY sizeChanged)
    Q_PROPERTY(double arrowLength READ arrowLength WRITE setArrowLength NOTIFY sizeChanged)

public:
    explicit OperationEdgeGeometry(QQuick3DObject* parent = nullptr);

    QObject* travel() const;
    void setTravel(QObject* travel);
    double thickness() const { return across; }
    void setThickness(double thickness);
    double arrowLength() const { return arrow; }
    void setArrowLength(double length);

    // The colour of the edge with that number (from 1) and of its arrows.
    static QColor EdgeColour(int number);
    static QColor ArrowColour(int number);

signals:
    void travelChanged();
    void sizeChanged();

private:
    void rebuild();

    QPointer<OperationTravel> source;
    double across = 2;
    double arrow = 10;
};

} // namespace zrv::core
