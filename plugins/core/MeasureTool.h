#pragma once

// Measuring in the 3D view: a click places a point where the ray under the
// pointer meets what is drawn there, in the station's frame (millimetres),
// on a mesh's triangles or on the box of a block, frame or target,
// whichever is nearer. Two points give a distance, three an angle
// (Measurement). It only looks: nothing is selected and the station is not
// touched. QML creates it in the view (`measureTool` of CellView3D).

#include "Measurement.h"

#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariantList>
#include <QtGui/QVector3D>

namespace zrv::core {

class CellScene;

class MeasureTool : public QObject
{
    Q_OBJECT
    // The CellScene whose shapes are measured.
    Q_PROPERTY(QObject* scene READ scene WRITE setScene NOTIFY sceneChanged)
    Q_PROPERTY(int count READ count NOTIFY changed)
    // The points placed (vector3d, station frame).
    Q_PROPERTY(QVariantList points READ pointList NOTIFY changed)
    // The lines between consecutive points: {centre, rotation, length},
    // rotation turning the y axis along the line.
    Q_PROPERTY(QVariantList legs READ legs NOTIFY changed)
    // What to write beside the drawing: {position, text}, the first leg's
    // length at its middle and, with three points, the angle at the middle
    // point.
    Q_PROPERTY(QVariantList labels READ labels NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)
    // What a click does next, or why the last one placed nothing.
    Q_PROPERTY(QString hint READ hint NOTIFY changed)

public:
    explicit MeasureTool(QObject* parent = nullptr);

    QObject* scene() const;
    void setScene(QObject* value);
    int count() const { return static_cast<int>(measured.points().size()); }
    const Measurement& measurement() const { return measured; }
    QVariantList pointList() const;
    QVariantList legs() const;
    QVariantList labels() const;
    QString text() const { return measured.text(); }
    QString hint() const { return note; }

    // Places a point where the ray (station frame, any length) first meets
    // the triangles of meshObject's mesh (0: no mesh under the pointer) or
    // another shape's box; false, with the hint saying why, when it meets
    // none.
    Q_INVOKABLE bool place(uint meshObject, const QVector3D& origin, const QVector3D& direction);
    Q_INVOKABLE void clear();

signals:
    void sceneChanged();
    void changed();

private:
    void setHint();

    QPointer<CellScene> cellScene;
    Measurement measured;
    QString note;
};

} // namespace zrv::core
