#pragma once

// Moving an object of the open station along or turning it about an axis
// of the world, of its positional parent or of its own, as the 3D view's
// handle and the view bar's numeric entry do. The object's `pose` is
// written in its parent's frame (the layout's "how poses compose"), so that
// it moves however deep it is placed. A program target (an instruction,
// its robtarget argument or the robtarget data item it names) moves in its
// work object, its value's position and orientation written anew; a work
// object (a wobjdata data item or argument) moves its user frame in the
// task frame. A drag is a run of moves with one
// drag number: each move is measured from where the object stood when the
// drag began, and the drag is one undo step. QML reaches it as
// `station.mover`.

#include "cell/CellLayout.h"
#include "cell/RigidTransform.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace sdf {
class Element;
}

namespace zrv::core {

class CellScene;

class ObjectMove : public QObject
{
    Q_OBJECT
    // What the last move did or why it did nothing.
    Q_PROPERTY(QString lastResult READ lastResult NOTIFY resultChanged)

public:
    struct Host
    {
        std::function<std::shared_ptr<sdf::Element>()> root;
        // The station's object of that id, found through its index (the
        // handle asks on every frame of a playback), or null.
        std::function<std::shared_ptr<sdf::Element>(std::uint32_t)> find;
        CellScene* scene = nullptr;
        // Writes the text as an edit of the object's field (`pose`, or a
        // target's or work object's `value`); edits with the same non-empty
        // key that follow each other are one undo step. Returns "" or why
        // nothing was stored.
        std::function<QString(std::uint32_t object, const QString& field, const QString& text, const QString& mergeKey)>
            writePose;
    };

    explicit ObjectMove(Host host, QObject* parent = nullptr);

    QString lastResult() const { return result; }
    // Whether the last move moved the object.
    bool lastMoved() const { return moved; }
    // How many moves were asked for so far.
    int moveCount() const { return count; }

    // Where the handle of the object stands and how its axes lie, in the
    // station's frame: {valid, reason, position (QVector3D, mm), rotation
    // (QQuaternion)}; frame "world", "parent" or "object". Not valid, with
    // the reason, for an object the handle cannot move.
    Q_INVOKABLE QVariantMap axes(uint objectId, const QString& frame) const;
    // Moves the object by distance (mm) along axis "x", "y" or "z", or
    // turns it by distance (degrees) about "rx", "ry" or "rz" through its
    // origin, of the frame. drag 0: from where it stands, one undo step;
    // else the distance counts from where it stood when that drag's first
    // move came, and the drag's moves are one undo step. Returns "" or why
    // it did nothing.
    Q_INVOKABLE QString move(uint objectId, const QString& axis, double distance, const QString& frame, int drag = 0);

signals:
    void resultChanged();

private:
    struct Place
    {
        std::shared_ptr<sdf::Element> element;
        cell::RigidTransform local; // the stored pose, in the parent's frame
        cell::RigidTransform world;
        QString name;
        // The object whose field is written, the field, and its text for a
        // new local pose.
        std::uint32_t carrier = 0;
        QString field;
        std::function<QString(const cell::RigidTransform&)> text;
    };
    // The object's pose and place, or why the handle cannot move it.
    std::optional<Place> placeOf(std::uint32_t objectId, QString& reason) const;
    // A program target or a work object; nothing (and no reason) for
    // anything else.
    std::optional<Place> programPlaceOf(const std::shared_ptr<sdf::Element>& element, const cell::CellLayout& layout,
                                        QString& reason) const;
    QString finish(const QString& text, bool ok);

    Host host;
    QString result;
    bool moved = false;
    int count = 0;
    struct Start
    {
        std::uint32_t object = 0;
        int drag = 0;
        cell::RigidTransform local;
        cell::RigidTransform world;
    };
    Start start;
};

} // namespace zrv::core
