#pragma once

// Moving a robot of the open station and teaching it, for the robot panel
// and automation: go to a target, the home and named poses, one joint at a
// time, the tool centre point along or about the axes of the world, the
// work object or the tool; a new target and move at the tool centre point;
// and an operation's generated path. Joint values are written into the
// document as one undoable edit per action; teaching and generating add
// objects, undone in one step (StationSnapshot). QML reaches it as
// `station.robot`.
//
// The robot is the one chosen (robotId), else the station's first
// manipulator. Its tool and work object are the ones its program names
// first: the first instruction argument naming a tool data item, the first
// naming a work object, in program order; the flange and the task frame
// without one. Every action returns "" on success, else why it did nothing.

#include "cell/CellKinematics.h"
#include "cell/RigidTransform.h"

#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QUndoStack;

namespace sdf {
class Element;
}

namespace zrv::core {

class CellScene;

class RobotControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(uint robotId READ robotId WRITE setRobotId NOTIFY changed)
    Q_PROPERTY(QString robotName READ robotName NOTIFY changed)
    // One map per joint: name, id, value (degrees, mm for a prismatic
    // joint), lower, upper (the same units, unlimited ones as ±360° or
    // ±10 m), unit.
    Q_PROPERTY(QVariantList joints READ joints NOTIFY changed)
    // "home" and the names of the robot's named poses.
    Q_PROPERTY(QStringList poses READ poses NOTIFY changed)
    // The tool centre point in the world: "x y z (mm) · rx ry rz (°)".
    Q_PROPERTY(QString tcpText READ tcpText NOTIFY changed)
    Q_PROPERTY(QString toolName READ toolName NOTIFY changed)
    Q_PROPERTY(QString workObjectName READ workObjectName NOTIFY changed)
    // What the last action did or why it did nothing.
    Q_PROPERTY(QString lastResult READ lastResult NOTIFY resultChanged)

public:
    struct Host
    {
        std::function<std::shared_ptr<sdf::Element>()> root;
        CellScene* scene = nullptr;
        QUndoStack* undo = nullptr;
        // Joint values changed (by an action, undo or redo).
        std::function<void()> jointsChanged;
        // Objects were added or removed: the objects, the tree and the view
        // are to be built again.
        std::function<void()> structureChanged;
    };

    explicit RobotControl(Host host, QObject* parent = nullptr);

    uint robotId() const;
    void setRobotId(uint id);
    QString robotName() const;
    QVariantList joints() const;
    QStringList poses() const;
    QString tcpText() const;
    QString toolName() const;
    QString workObjectName() const;
    QString lastResult() const { return result; }

    // The robot takes the pose of the target an instruction (or a robtarget
    // data item that an instruction names) moves to: in the target's
    // configuration when it has one, else the one nearest to its joints.
    Q_INVOKABLE QString goToTarget(uint objectId);
    // "home" or a named pose of the robot's mechanism_poses.
    Q_INVOKABLE QString goToPose(const QString& name);
    // One joint (index from 0) to a value in degrees (mm for prismatic);
    // dragging: successive values of one drag make one undo step.
    Q_INVOKABLE QString setJoint(int index, double shown, bool dragging = false);
    // Moves the tool centre point by distance (mm) along axis "x", "y" or
    // "z", or turns it by distance (degrees) about "rx", "ry" or "rz", of
    // frame "world", "wobj" or "tool". Steps with the same non-empty
    // dragKey that follow each other (a drag of the view's handle at the
    // tool centre point) make one undo step.
    Q_INVOKABLE QString jog(const QString& axis, double distance, const QString& frame,
                            const QString& dragKey = QString());
    // The tool centre point and the axes jog moves along in frame, in the
    // station's frame: {valid, position (QVector3D, mm), rotation
    // (QQuaternion)}; not valid without a robot.
    Q_INVOKABLE QVariantMap jogAxes(const QString& frame) const;
    // A robtarget data item at the tool centre point (in the work object,
    // with the arm's configuration) and a Movel to it at the end of the
    // path, with the arguments of the path's last move; fresh ids.
    Q_INVOKABLE QString teach(uint pathId);
    // Generates the operation's path (cell::OperationPath) and judges it.
    Q_INVOKABLE QString generate(uint operationId);
    // The path an object belongs to (a path, its moves and their
    // arguments), else the first path of the robot's task; 0 for none.
    Q_INVOKABLE uint pathOf(uint objectId) const;
    // The element label of an object ("operation", "instruction", ...).
    Q_INVOKABLE QString kindOf(uint objectId) const;
    // Ids of the objects the last teach made: the data item, the move.
    Q_INVOKABLE QVariantList taught() const { return taughtIds; }

    // Called by the session whenever the document may have changed.
    void refresh();

signals:
    void changed();
    void resultChanged();

private:
    struct Context;
    std::optional<Context> context(std::uint32_t robot) const;
    // Writes stored joint values as one undoable edit.
    QString writeJoints(const Context& at, const std::vector<double>& values, const QString& what,
                        const QString& mergeKey = {});
    QString finish(const QString& text, bool ok);
    std::shared_ptr<sdf::Element> station() const;

    Host host;
    std::uint32_t chosen = 0;
    QString result;
    QVariantList taughtIds;
};

} // namespace zrv::core
