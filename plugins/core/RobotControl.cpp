#include "RobotControl.h"

#include "MeshGeometry.h"

#include "CellScene.h"
#include "ElementSearch.h"
#include "JointValuesEdit.h"
#include "PoseText.h"
#include "StationSnapshot.h"

#include "cell/ArmConfiguration.h"
#include "cell/CadPartGeometry.h"
#include "cell/OperationPath.h"

#include <sdformat/Element.h>

#include <zrvrob/RobTarget.h>
#include <zrvrob/WObjData.h>

#include <fmt/format.h>

#include <QtGui/QQuaternion>
#include <QtGui/QUndoStack>
#include <QtGui/QVector3D>

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <stdexcept>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

namespace zrv::core {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

constexpr double kDegree = std::numbers::pi / 180;
// Joints whose limits say "unlimited" get a control this wide.
constexpr double kOpenTurn = 360;
constexpr double kOpenMillimetres = 10000;

std::uint32_t LargestId(const sdf::Element& element)
{
    std::uint32_t largest = element.getId(false);
    for (const auto& child : element.elements())
        largest = std::max(largest, LargestId(*child));
    return largest;
}

template <class T>
std::optional<T> ValueOf(const sdf::Element& item)
{
    const ElementPtr value = item.get("value");
    if (!value || !value->hasValue() || value->type_info() != typeid(T))
        return std::nullopt;
    return value->as<T>();
}

std::optional<std::string> TextOf(const sdf::Element& argument)
{
    return ValueOf<std::string>(argument);
}

std::string NameOf(const sdf::Element& element)
{
    return element.valueOr<std::string>("name", std::string());
}

cell::RigidTransform FrameOf(const zrv::rob::Frame& frame)
{
    return cell::RigidTransform::FromParts({frame.trans.x, frame.trans.y, frame.trans.z},
                                           {frame.rot.w, frame.rot.x, frame.rot.y, frame.rot.z});
}

// Every task of the station, wherever it is kept.
void CollectTasks(const ElementPtr& element, std::vector<ElementPtr>& out)
{
    for (const auto& child : element->elements()) {
        if (child->label() == "task")
            out.push_back(child);
        else if (child->label() == "controller")
            CollectTasks(child, out);
    }
}

QString Shown(double value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

struct RobotControl::Context
{
    const cell::InverseKinematics* ik = nullptr;
    ElementPtr mechanism;
    ElementPtr task;
    std::string tool;
    cell::RigidTransform toolFrame;
    std::string workObject;
    cell::RigidTransform workObjectFrame; // world
    cell::RigidTransform taskFrame;       // world
    std::vector<double> current;

    const cell::RobotModel& robot() const { return ik->robot(); }
    cell::RigidTransform tcp() const { return robot().base() * robot().flange(current) * toolFrame; }
};

RobotControl::RobotControl(Host host, QObject* parent)
    : QObject(parent)
    , host(std::move(host))
{
}

ElementPtr RobotControl::station() const
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    return root ? root->get("station") : nullptr;
}

uint RobotControl::robotId() const
{
    const ElementPtr at = station();
    if (!at)
        return 0;
    if (chosen != 0) {
        for (const auto& robot : at->children("manipulator"))
            if (robot->getId(false) == chosen)
                return chosen;
    }
    for (const auto& robot : at->children("manipulator"))
        return robot->getId(false);
    return 0;
}

void RobotControl::setRobotId(uint id)
{
    if (id == chosen)
        return;
    chosen = id;
    emit changed();
}

std::optional<RobotControl::Context> RobotControl::context(std::uint32_t robot) const
{
    const ElementPtr at = station();
    const cell::CellKinematics* kinematics = host.scene ? host.scene->kinematics() : nullptr;
    if (!at || !kinematics || robot == 0)
        return std::nullopt;
    Context c;
    c.ik = kinematics->robot(std::to_string(robot));
    if (!c.ik)
        return std::nullopt;
    for (const auto& mechanism : at->children("manipulator"))
        if (mechanism->getId(false) == robot)
            c.mechanism = mechanism;
    if (!c.mechanism)
        return std::nullopt;
    c.current = c.robot().currentValues();

    // The robot's task: the one whose wrist it holds, else the one of the
    // controller that names it.
    std::vector<ElementPtr> tasks;
    CollectTasks(at, tasks);
    for (const ElementPtr& task : tasks) {
        const std::uint32_t wrist = task->valueOr<unsigned int>("wrist_id", 0u);
        if (wrist != 0 && wrist == c.robot().wristId()) {
            c.task = task;
            break;
        }
    }
    if (!c.task) {
        for (const ElementPtr& task : tasks) {
            const std::uint32_t controllerId = task->valueOr<unsigned int>("controller_id", 0u);
            const ElementPtr controller = controllerId ? FindById(at, controllerId) : nullptr;
            if (controller && controller->valueOr<unsigned int>("manipulator", 0u) == robot) {
                c.task = task;
                break;
            }
        }
    }
    if (!c.task)
        return c;

    cell::RigidTransform taskFrame;
    const std::uint32_t controllerId = c.task->valueOr<unsigned int>("controller_id", 0u);
    if (const ElementPtr controller = controllerId ? FindById(at, controllerId) : nullptr)
        if (controller->exists("task_frame"))
            taskFrame = cell::RigidTransform::FromPose(controller->asPose("task_frame"));
    c.workObjectFrame = taskFrame;
    c.taskFrame = taskFrame;

    std::unordered_map<std::string, ElementPtr> items;
    for (const auto& item : c.task->children("dataitem"))
        items.try_emplace(NameOf(*item), item);
    bool haveTool = false;
    bool haveObject = false;
    for (const auto& path : c.task->children("path")) {
        for (const auto& instruction : path->children("instruction")) {
            for (const auto& argument : instruction->children("argument")) {
                const std::optional<std::string> name = TextOf(*argument);
                if (!name)
                    continue;
                const auto item = items.find(*name);
                if (!haveObject && item != items.end()) {
                    if (const auto wobj = ValueOf<zrv::rob::WObjData>(*item->second)) {
                        c.workObject = *name;
                        c.workObjectFrame = taskFrame * FrameOf(wobj->uframe) * FrameOf(wobj->oframe);
                        haveObject = true;
                        continue;
                    }
                }
                if (!haveTool && (item == items.end() || !ValueOf<zrv::rob::RobTarget>(*item->second))) {
                    try {
                        if (const auto frame = kinematics->toolFrame(*name)) {
                            c.tool = *name;
                            c.toolFrame = *frame;
                            haveTool = true;
                        }
                    } catch (const std::invalid_argument&) {
                        // A tool the robot does not hold is no tool to jog.
                    }
                }
            }
        }
    }
    return c;
}

QString RobotControl::robotName() const
{
    const ElementPtr at = station();
    const std::uint32_t id = robotId();
    if (!at || id == 0)
        return {};
    for (const auto& robot : at->children("manipulator"))
        if (robot->getId(false) == id)
            return QString::fromStdString(NameOf(*robot));
    return {};
}

QVariantList RobotControl::joints() const
{
    QVariantList out;
    const auto c = context(robotId());
    if (!c)
        return out;
    const auto& joints = c->robot().joints();
    for (std::size_t k = 0; k < joints.size(); ++k) {
        const auto& joint = joints[k];
        const bool prismatic = joint.type == cell::RobotModel::JointType::Prismatic;
        const double scale = prismatic ? 1.0 : 1 / kDegree;
        const double open = prismatic ? kOpenMillimetres : kOpenTurn;
        const double value = k < c->current.size() ? c->current[k] : 0.0;
        out.append(QVariantMap{{QStringLiteral("name"), QString::fromStdString(joint.name)},
                               {QStringLiteral("id"), joint.id},
                               {QStringLiteral("value"), value * scale},
                               {QStringLiteral("lower"), std::max(joint.lower * scale, -open)},
                               {QStringLiteral("upper"), std::min(joint.upper * scale, open)},
                               {QStringLiteral("unit"), prismatic ? QStringLiteral("mm") : QStringLiteral("°")}});
    }
    return out;
}

QStringList RobotControl::poses() const
{
    QStringList out;
    const auto c = context(robotId());
    if (!c)
        return out;
    out.append(QStringLiteral("home"));
    for (const auto& pose : c->robot().namedPoses())
        out.append(QString::fromStdString(pose.name));
    return out;
}

QString RobotControl::tcpText() const
{
    const auto c = context(robotId());
    if (!c)
        return {};
    const cell::RigidTransform t = c->tcp();
    const EulerDegrees angles = ToEuler({t.q[0], t.q[1], t.q[2], t.q[3]});
    return QStringLiteral("%1 %2 %3 mm \u00b7 %4 %5 %6 \u00b0")
        .arg(Shown(t.t[0]), Shown(t.t[1]), Shown(t.t[2]), Shown(angles.rx), Shown(angles.ry), Shown(angles.rz));
}

QString RobotControl::toolName() const
{
    const auto c = context(robotId());
    return c && !c->tool.empty() ? QString::fromStdString(c->tool) : tr("flange");
}

QString RobotControl::workObjectName() const
{
    const auto c = context(robotId());
    return c && !c->workObject.empty() ? QString::fromStdString(c->workObject) : tr("task frame");
}

void RobotControl::refresh()
{
    emit changed();
}

QString RobotControl::finish(const QString& text, bool ok)
{
    result = text;
    emit resultChanged();
    return ok ? QString() : text;
}

QString RobotControl::writeJoints(const Context& at, const std::vector<double>& wanted, const QString& what,
                                  const QString& mergeKey)
{
    // Writing rebuilds the kinematics that the context and the values may
    // belong to: what is needed afterwards is copied first.
    const std::vector<double> values = wanted;
    const auto& model = at.robot().joints();
    if (values.size() != model.size())
        return finish(tr("%1: %2 joint values for %3 joints").arg(what).arg(values.size()).arg(model.size()), false);
    if (!at.robot().withinLimits(values))
        return finish(tr("%1: the joint values lie outside the joints' limits").arg(what), false);
    std::vector<std::uint32_t> ids;
    std::unordered_map<std::uint32_t, ElementPtr> elements;
    for (const auto& joint : at.mechanism->children("joint"))
        elements.try_emplace(joint->getId(false), joint);
    for (const auto& joint : model) {
        if (!elements.count(joint.id))
            return finish(tr("%1: joint %2 is not in the robot").arg(what).arg(joint.id), false);
        ids.push_back(joint.id);
    }
    const std::uint32_t mechanismId = at.mechanism->getId(false);
    const auto apply = [this, mechanismId](const std::vector<std::uint32_t>& joints, const std::vector<double>& to) {
        const ElementPtr at = station();
        const ElementPtr mechanism = at ? FindById(at, mechanismId) : nullptr;
        if (!mechanism)
            return;
        std::unordered_map<std::uint32_t, ElementPtr> byId;
        for (const auto& joint : mechanism->children("joint"))
            byId.try_emplace(joint->getId(false), joint);
        for (std::size_t k = 0; k < joints.size(); ++k)
            if (const auto it = byId.find(joints[k]); it != byId.end())
                it->second->set<double>("value", to[k]);
        if (host.jointsChanged)
            host.jointsChanged();
    };
    std::vector<double> before = at.current;
    apply(ids, values);
    if (host.undo)
        host.undo->push(new JointValuesEdit(what, apply, ids, std::move(before), values, mergeKey));
    return finish(what, true);
}

QString RobotControl::goToTarget(uint objectId)
{
    const ElementPtr at = station();
    if (!at || !host.scene)
        return finish(tr("No station is open"), false);
    ElementPtr object = FindById(at, objectId);
    if (!object)
        return finish(tr("No object has id %1").arg(objectId), false);
    // A robtarget data item: the first move that names it.
    if (object->label() == "dataitem") {
        const std::string name = NameOf(*object);
        const ElementPtr task = object->parent();
        if (!task)
            return finish(tr("No move goes to %1").arg(QString::fromStdString(name)), false);
        ElementPtr mover;
        for (const auto& path : task->children("path"))
            for (const auto& instruction : path->children("instruction"))
                for (const auto& argument : instruction->children("argument"))
                    if (!mover && TextOf(*argument) == name)
                        mover = instruction;
        if (!mover)
            return finish(tr("No move goes to %1").arg(QString::fromStdString(name)), false);
        object = mover;
    }
    const std::uint32_t instruction = object->getId(false);
    const cell::CellKinematics::TargetReach* reach = nullptr;
    for (const auto& r : host.scene->reach())
        if (r.instruction == instruction && !reach)
            reach = &r;
    if (!reach)
        return finish(tr("%1 moves to no target").arg(QString::fromStdString(NameOf(*object))), false);
    const auto c = context(reach->robot);
    if (!c)
        return finish(tr("%1: %2").arg(QString::fromStdString(NameOf(*object)),
                                       QString::fromStdString(reach->reason)),
                      false);
    std::vector<double> joints = reach->joints;
    if (joints.empty() && reach->status == cell::ReachStatus::NotInConfiguration) {
        // Not in the configuration asked for: the solution nearest to the
        // robot's joints.
        const auto any = c->ik->reach(c->ik->flangeFor(reach->world, c->toolFrame), std::nullopt, c->current);
        if (!any.solutions.empty())
            joints = any.solutions.front().joints;
    }
    if (joints.empty()) {
        const std::string_view status = cell::ReachStatusName(reach->status);
        return finish(tr("%1: %2%3")
                          .arg(QString::fromStdString(NameOf(*object)),
                               QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size())),
                               reach->reason.empty() ? QString() : QStringLiteral(", ") + QString::fromStdString(reach->reason)),
                      false);
    }
    setRobotId(reach->robot);
    return writeJoints(*c, joints, tr("Go to %1").arg(QString::fromStdString(NameOf(*object))));
}

QString RobotControl::goToPose(const QString& name)
{
    const auto c = context(robotId());
    if (!c)
        return finish(tr("No robot to move"), false);
    if (name == QStringLiteral("home"))
        return writeJoints(*c, c->robot().home(), tr("Go to home"));
    for (const auto& pose : c->robot().namedPoses())
        if (QString::fromStdString(pose.name) == name)
            return writeJoints(*c, pose.values, tr("Go to %1").arg(name));
    return finish(tr("%1 has no pose named %2").arg(robotName(), name), false);
}

QString RobotControl::setJoint(int index, double shown, bool dragging)
{
    const auto c = context(robotId());
    if (!c)
        return finish(tr("No robot to move"), false);
    const auto& model = c->robot().joints();
    if (index < 0 || static_cast<std::size_t>(index) >= model.size())
        return finish(tr("%1 has no joint %2").arg(robotName()).arg(index + 1), false);
    const auto& joint = model[static_cast<std::size_t>(index)];
    const bool prismatic = joint.type == cell::RobotModel::JointType::Prismatic;
    std::vector<double> values = c->current;
    values[static_cast<std::size_t>(index)] = prismatic ? shown : shown * kDegree;
    if (!c->robot().withinLimits(values)) {
        const double scale = prismatic ? 1.0 : 1 / kDegree;
        return finish(tr("%1 %2 lies outside the joint's limits, %3 to %4 %2")
                          .arg(shown)
                          .arg(prismatic ? QStringLiteral("mm") : QStringLiteral("°"))
                          .arg(joint.lower * scale)
                          .arg(joint.upper * scale),
                      false);
    }
    return writeJoints(*c, values, tr("Set %1 to %2").arg(QString::fromStdString(joint.name)).arg(shown),
                       dragging ? QStringLiteral("drag %1").arg(joint.id) : QString());
}

QVariantMap RobotControl::jogAxes(const QString& frame) const
{
    const auto c = context(robotId());
    if (!c)
        return {{QStringLiteral("valid"), false}};
    const cell::RigidTransform tcp = c->tcp();
    std::array<double, 4> q{1, 0, 0, 0};
    if (frame == QStringLiteral("wobj"))
        q = c->workObjectFrame.q;
    else if (frame == QStringLiteral("tool"))
        q = tcp.q;
    return {{QStringLiteral("valid"), true},
            {QStringLiteral("position"), QVector3D(float(tcp.t[0]), float(tcp.t[1]), float(tcp.t[2]))},
            {QStringLiteral("rotation"), QQuaternion(float(q[0]), float(q[1]), float(q[2]), float(q[3]))}};
}

QString RobotControl::jog(const QString& axis, double distance, const QString& frame, const QString& dragKey)
{
    const auto c = context(robotId());
    if (!c)
        return finish(tr("No robot to move"), false);
    static const QStringList axes{QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z"),
                                  QStringLiteral("rx"), QStringLiteral("ry"), QStringLiteral("rz")};
    const qsizetype which = axes.indexOf(axis);
    if (which < 0)
        return finish(tr("Unknown axis \"%1\": x, y, z, rx, ry or rz").arg(axis), false);
    const cell::RigidTransform tcp = c->tcp();
    cell::RigidTransform axesFrame;
    if (frame == QStringLiteral("wobj"))
        axesFrame.q = c->workObjectFrame.q;
    else if (frame == QStringLiteral("tool"))
        axesFrame.q = tcp.q;
    else if (frame != QStringLiteral("world"))
        return finish(tr("Unknown frame \"%1\": world, wobj or tool").arg(frame), false);
    cell::Vec3d unit{0, 0, 0};
    unit[static_cast<std::size_t>(which % 3)] = 1;
    const cell::Vec3d direction = axesFrame.rotate(unit);
    cell::RigidTransform goal = tcp;
    if (which < 3) {
        for (int k = 0; k < 3; ++k)
            goal.t[static_cast<std::size_t>(k)] += direction[static_cast<std::size_t>(k)] * distance;
    } else {
        cell::RigidTransform turned = cell::RigidTransform::Rotation(direction, distance * kDegree);
        turned = turned * cell::RigidTransform{tcp.q, {0, 0, 0}};
        goal.q = turned.q;
    }
    const auto solved = c->ik->reach(c->ik->flangeFor(goal, c->toolFrame), std::nullopt, c->current);
    if (solved.solutions.empty() || solved.status == cell::ReachStatus::OutOfReach ||
        solved.status == cell::ReachStatus::OutsideLimits) {
        const std::string_view status = cell::ReachStatusName(solved.status);
        return finish(tr("Jog %1 %2 in %3: %4").arg(axis).arg(distance).arg(frame,
                          QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size()))),
                      false);
    }
    return writeJoints(*c, solved.solutions.front().joints, tr("Jog %1 %2 in %3").arg(axis).arg(distance).arg(frame),
                       dragKey);
}

uint RobotControl::pathOf(uint objectId) const
{
    const ElementPtr at = station();
    if (!at)
        return 0;
    for (ElementPtr object = objectId ? FindById(at, objectId) : nullptr; object; object = object->parent())
        if (object->label() == "path")
            return object->getId(false);
    const auto c = context(robotId());
    if (c && c->task)
        for (const auto& path : c->task->children("path"))
            return path->getId(false);
    return 0;
}

QString RobotControl::kindOf(uint objectId) const
{
    const ElementPtr at = station();
    const ElementPtr object = at && objectId ? FindById(at, objectId) : nullptr;
    return object ? QString::fromStdString(object->label()) : QString();
}

QString RobotControl::teach(uint pathId)
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr at = station();
    if (!at)
        return finish(tr("No station is open"), false);
    const ElementPtr path = FindById(at, pathId);
    if (!path || path->label() != "path")
        return finish(tr("No path has id %1").arg(pathId), false);
    const ElementPtr task = path->parent();
    if (!task || task->label() != "task")
        return finish(tr("Path %1 is not in a task").arg(pathId), false);
    // The path's robot: the one its targets are judged with, else the
    // robot chosen.
    std::uint32_t robot = 0;
    if (host.scene)
        for (const auto& r : host.scene->reach())
            if (r.path == pathId && r.robot != 0 && robot == 0)
                robot = r.robot;
    auto c = context(robot != 0 ? robot : robotId());
    if (!c)
        return finish(tr("No robot to teach"), false);

    std::unordered_map<std::string, ElementPtr> items;
    std::unordered_set<std::string> used;
    for (const auto& element : task->elements())
        if (element->label() == "dataitem" || element->label() == "path") {
            used.insert(NameOf(*element));
            if (element->label() == "dataitem")
                items.try_emplace(NameOf(*element), element);
        }
    // The arguments of the path's last move, its target replaced.
    std::vector<std::pair<std::string, std::string>> arguments;
    std::string tool = c->tool;
    std::string workObject = c->workObject;
    cell::RigidTransform objectFrame = c->workObjectFrame;
    cell::RigidTransform toolFrame = c->toolFrame;
    ElementPtr last;
    for (const auto& instruction : path->children("instruction"))
        last = instruction;
    if (last) {
        bool sawObject = false;
        for (const auto& argument : last->children("argument")) {
            const std::optional<std::string> text = TextOf(*argument);
            if (!text)
                continue;
            const auto item = items.find(*text);
            if (item != items.end() && ValueOf<zrv::rob::RobTarget>(*item->second))
                continue;
            arguments.emplace_back(NameOf(*argument), *text);
            if (item != items.end() && !sawObject)
                if (const auto wobj = ValueOf<zrv::rob::WObjData>(*item->second)) {
                    sawObject = true;
                    workObject = *text;
                    objectFrame = c->taskFrame * FrameOf(wobj->uframe) * FrameOf(wobj->oframe);
                }
            if (*text != workObject && host.scene && host.scene->kinematics()) {
                try {
                    if (const auto frame = host.scene->kinematics()->toolFrame(*text)) {
                        tool = *text;
                        toolFrame = *frame;
                    }
                } catch (const std::invalid_argument&) {
                }
            }
        }
    }
    c->toolFrame = toolFrame;
    const cell::RigidTransform inObject = objectFrame.inverse() * c->tcp();

    // The configuration of the arm as it stands.
    const cell::RigidTransform flange = c->robot().flange(c->current);
    std::array<int, 4> conf = cell::ArmConfiguration::Of(c->robot(), c->current, 0);
    double nearest = 1e-6;
    for (const cell::IkSolution& s : c->ik->solve(flange, c->current).solutions) {
        double d = 0;
        for (std::size_t k = 0; k < s.joints.size() && k < c->current.size(); ++k)
            d = std::max(d, std::abs(s.joints[k] - c->current[k]));
        if (d < nearest) {
            nearest = d;
            conf = s.conf;
        }
    }

    const std::string base = NameOf(*path).empty() ? std::string("Target") : NameOf(*path);
    std::string name;
    for (unsigned n = 1;; ++n) {
        name = fmt::format("{}_T{}", base, n);
        if (!used.contains(name))
            break;
    }

    const std::shared_ptr<sdf::Element> before = at->clone();
    std::uint32_t nextId = std::max(LargestId(*root) + 1, at->valueOr<unsigned int>("next_dataid", 0u));
    const auto fresh = [&nextId] { return nextId++; };
    const std::uint32_t taskId = task->getId(false);
    zrv::rob::RobTarget target;
    target.trans = {inObject.t[0], inObject.t[1], inObject.t[2]};
    target.rot = {inObject.q[0], inObject.q[1], inObject.q[2], inObject.q[3]};
    target.robconf = {conf[0], conf[1], conf[2], conf[3]};
    const std::uint32_t itemId = fresh();
    const ElementPtr item = task->appendObject("dataitem", itemId, name);
    item->set<zrv::rob::RobTarget>("value", target);
    item->set<unsigned int>("parent", taskId);
    task->append("child")->setValue<unsigned int>(itemId);

    const std::uint32_t moveId = fresh();
    const ElementPtr move = path->appendObject("instruction", moveId, "Movel");
    move->set<unsigned int>("parent", pathId);
    path->append("child")->setValue<unsigned int>(moveId);
    const auto argument = [&](const std::string& argName, const std::string& value) {
        const std::uint32_t id = fresh();
        const ElementPtr arg = move->appendObject("argument", id, argName);
        arg->set<std::string>("value", value);
        arg->set<unsigned int>("parent", moveId);
        move->append("child")->setValue<unsigned int>(id);
    };
    argument("target", name);
    if (arguments.empty()) {
        if (!tool.empty())
            argument("tool", tool);
        if (!workObject.empty())
            argument("wobj", workObject);
    }
    for (const auto& [argName, value] : arguments)
        argument(argName.empty() ? std::string("arg") : argName, value);
    move->set<std::string>("source", "taught");
    at->set<unsigned int>("next_dataid", nextId);

    taughtIds = {QVariant(itemId), QVariant(moveId)};
    if (host.undo)
        host.undo->push(new StationSnapshot(tr("Teach %1").arg(QString::fromStdString(name)), root, before,
                                            host.structureChanged));
    if (host.structureChanged)
        host.structureChanged();
    return finish(tr("Taught %1 (data item %2, move %3)").arg(QString::fromStdString(name)).arg(itemId).arg(moveId),
                  true);
}

QString RobotControl::generate(uint operationId)
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr at = station();
    if (!at || !host.scene || !host.scene->layout())
        return finish(tr("No station is open"), false);
    const ElementPtr operation = cell::OperationPath::Find(*root, std::to_string(operationId));
    if (!operation || operation->getId(false) != operationId)
        return finish(tr("No operation has id %1").arg(operationId), false);
    cell::OperationPath::Options options;
    options.baseDirectory = host.scene->layout()->baseDirectory();
    // Edges of CAD bodies come from the files the view has already read:
    // the view's cache, which lives as long as the process (not owned here).
    options.geometry = cell::CadPartGeometry::For(
        root, options.baseDirectory, std::shared_ptr<cell::GeometryCache>(std::shared_ptr<void>(), &MeshGeometry::Cache()));
    const cell::CellKinematics* kinematics = host.scene->kinematics();
    options.judgeFor = [kinematics](const sdf::Element& task, const sdf::Element& toolData) -> cell::ReachJudge {
        if (!kinematics)
            return {};
        try {
            return kinematics->judgeFor(task, toolData);
        } catch (const std::invalid_argument&) {
            return {};
        }
    };
    const std::shared_ptr<sdf::Element> before = at->clone();
    cell::OperationPath::Result generated;
    try {
        generated = cell::OperationPath::Generate(root, *operation, options);
    } catch (const std::exception& e) {
        return finish(QString::fromStdString(e.what()), false);
    }
    const QString name = QString::fromStdString(NameOf(*operation));
    if (host.undo)
        host.undo->push(new StationSnapshot(tr("Generate %1").arg(name), root, before, host.structureChanged));
    if (host.structureChanged)
        host.structureChanged();
    QString text = tr("Generated %1: path %2, %3 targets, %4 mm")
                       .arg(name, QString::fromStdString(generated.pathName))
                       .arg(generated.targets.size())
                       .arg(generated.length, 0, 'f', 1);
    text += generated.judged ? tr(", %1 unreachable, %2 configuration changes")
                                   .arg(generated.unreachable)
                                   .arg(generated.configurationChanges)
                             : tr(", reach not judged");
    return finish(text, true);
}

} // namespace zrv::core
