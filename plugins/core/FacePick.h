#pragma once

// The face or edge of a part the user pointed at in the 3D view, and
// adding a picked edge to an edge operation. A pick names the object whose
// shape was hit, the body that shape is (0 for an object drawn from its own
// file), the face (index in the file, see cell::Geometry) and, where the
// face has edges, the one nearest to the point hit. Its text says it as
// the user would: "Angle 200 · face 3 · edge 1 (152.4 mm)".
//
// Adding an edge writes an `edge` (its `bodyface` and `edgeindex`) at the
// end of the operation's `process_edgeoperation`, one undo step
// (StationSnapshot). It is refused, with the reason, for a shape that is a
// mesh (meshes have no edges), for an operation of another process, for a
// body on another part than the one the operation's edges are on, and for
// an edge the operation has already. QML reaches it as `station.pick`.

#include "cell/Geometry.h"
#include "cell/GeometryCache.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtGui/QVector3D>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QUndoStack;

namespace sdf {
class Element;
}

namespace zrv::core {

class CellScene;

class FacePick : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool valid READ valid NOTIFY changed)
    Q_PROPERTY(uint objectId READ objectId NOTIFY changed)
    Q_PROPERTY(uint bodyId READ bodyId NOTIFY changed)
    Q_PROPERTY(int face READ face NOTIFY changed)
    // -1: no edge (a face of a mesh, or a face without edges).
    Q_PROPERTY(int edge READ edge NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)
    // What the last addition did or why it did nothing.
    Q_PROPERTY(QString lastResult READ lastResult NOTIFY resultChanged)

public:
    struct Host
    {
        std::function<std::shared_ptr<sdf::Element>()> root;
        CellScene* scene = nullptr;
        QUndoStack* undo = nullptr;
        // The document changed: objects, tree, checks and view follow it.
        std::function<void()> structureChanged;
    };

    explicit FacePick(Host host, QObject* parent = nullptr);

    bool valid() const { return shape != nullptr; }
    uint objectId() const { return object; }
    uint bodyId() const { return body; }
    int face() const { return faceIndex; }
    int edge() const { return edgeIndex; }
    QString text() const;
    QString lastResult() const { return result; }
    // The shape picked, in its object's frame (null without a pick).
    const cell::Geometry* geometry() const { return shape.get(); }

    // Picks where the ray (station frame, any length) meets the drawn shape
    // of the object, or of that body of a part drawn from several, as a
    // click there does; false (and no pick) when it meets none of its
    // triangles.
    Q_INVOKABLE bool pickRay(uint objectId, const QVector3D& origin, const QVector3D& direction);
    // Picks that face and edge (-1: the face alone) of a body as a click
    // on it would; "" or why not.
    Q_INVOKABLE QString pickEdge(uint bodyId, int face, int edge);
    Q_INVOKABLE void clear();
    // Adds the picked edge to the operation; "" or why not. lastResult
    // says what was done or why not.
    Q_INVOKABLE QString addToOperation(uint operationId);

    // A point (station frame) on the face just beside the middle of its
    // edge, where a click names that face and edge; nothing when the body,
    // face or edge is not there.
    std::optional<QVector3D> pointBeside(uint bodyId, int face, int edge) const;

signals:
    void changed();
    void resultChanged();

private:
    struct Body;
    // The shape of the body as the view draws it, and where.
    std::optional<Body> bodyShape(std::uint32_t id, QString* why) const;
    // Keeps text as lastResult; returns "" when ok, else text.
    QString finish(const QString& text, bool ok);
    // A new pick (or none): what was said of the last one is no more.
    void picked();

    Host host;
    cell::GeometryCache::Result shape;
    std::uint32_t object = 0;
    std::uint32_t body = 0;
    int faceIndex = -1;
    int edgeIndex = -1;
    QString result;
};

} // namespace zrv::core
