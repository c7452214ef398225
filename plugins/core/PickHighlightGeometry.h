#pragma once

// The picked face or edge of a FacePick as triangles in its shape's own
// frame, for drawing over the shape (the view places it as it places the
// object): the face's own triangles lifted a little off the surface, or the
// edge as a square tube `thickness` millimetres across. Rebuilt when the
// pick or the thickness changes.

#include <QtCore/QPointer>
#include <QtQuick3D/QQuick3DGeometry>

namespace zrv::core {

class FacePick;

class PickHighlightGeometry : public QQuick3DGeometry
{
    Q_OBJECT
    Q_PROPERTY(QObject* pick READ pick WRITE setPick NOTIFY pickChanged)
    Q_PROPERTY(Part part READ part WRITE setPart NOTIFY partChanged)
    Q_PROPERTY(double thickness READ thickness WRITE setThickness NOTIFY thicknessChanged)

public:
    enum Part
    {
        Face,
        Edge,
    };
    Q_ENUM(Part)

    explicit PickHighlightGeometry(QQuick3DObject* parent = nullptr);

    QObject* pick() const;
    void setPick(QObject* pick);
    Part part() const { return shown; }
    void setPart(Part part);
    double thickness() const { return across; }
    void setThickness(double thickness);

signals:
    void pickChanged();
    void partChanged();
    void thicknessChanged();

private:
    void rebuild();

    QPointer<FacePick> source;
    Part shown = Face;
    double across = 2;
};

} // namespace zrv::core
