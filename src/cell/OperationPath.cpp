#include "cell/OperationPath.h"

#include "cell/CellLayout.h"
#include "cell/FrameMath.h"
#include "cell/OperationEdges.h"
#include "cell/PathSettings.h"
#include "cell/PathWriter.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <charconv>
#include <stdexcept>
#include <unordered_map>

namespace cell {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

std::string NameOf(const sdf::Element& object)
{
    const std::string name = object.valueOr<std::string>("name", std::string());
    return name.empty() ? fmt::format("{}", object.getId(false)) : name;
}

std::vector<ElementPtr> Operations(const sdf::Element& root)
{
    std::vector<ElementPtr> found;
    const auto station = root.get("station");
    if (!station)
        return found;
    for (const auto& element : station->elements()) {
        if (element->label() == "operation")
            found.push_back(element);
        else if (element->label() == "task")
            for (const auto& op : element->children("operation"))
                found.push_back(op);
    }
    return found;
}

ElementPtr ItemWithId(const sdf::Element& task, std::uint32_t id)
{
    for (const auto& item : task.children("dataitem"))
        if (item->getId(false) == id)
            return item;
    return nullptr;
}

zrv::rob::RobTarget TargetOf(const RigidTransform& frame, const ReachVerdict& reach)
{
    zrv::rob::RobTarget target;
    target.trans = {frame.t[0], frame.t[1], frame.t[2]};
    target.rot = {frame.q[0], frame.q[1], frame.q[2], frame.q[3]};
    if (reach.status != PathReach::NotJudged)
        target.robconf = reach.configuration;
    return target;
}

} // namespace

std::shared_ptr<sdf::Element> OperationPath::Find(const sdf::Element& root, const std::string& idOrName)
{
    const auto operations = Operations(root);
    unsigned id = 0;
    const auto [end, ec] = std::from_chars(idOrName.data(), idOrName.data() + idOrName.size(), id);
    if (ec == std::errc() && end == idOrName.data() + idOrName.size())
        for (const auto& op : operations)
            if (op->getId(false) == id)
                return op;
    for (const auto& op : operations)
        if (op->valueOr<std::string>("name", std::string()) == idOrName)
            return op;
    return nullptr;
}

OperationPath::Result OperationPath::Generate(const std::shared_ptr<sdf::Element>& root, sdf::Element& operation,
                                              const Options& options)
{
    const std::string name = fmt::format("operation '{}'", NameOf(operation));
    PathSettings settings;
    try {
        settings = PathSettings::Read(operation);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(fmt::format("{}: {}", name, e.what()));
    }

    const CellLayout layout(root, options.baseDirectory);
    const auto edges = OperationEdges(root, layout, options.baseDirectory, options.geometry).of(operation);
    std::vector<PathGenerator::Pose> poses;
    try {
        poses = PathGenerator(settings).generate(edges);
    } catch (const std::invalid_argument& e) {
        throw std::invalid_argument(fmt::format("{}: {}", name, e.what()));
    }

    // The task to hold the path.
    const auto station = root->get("station");
    ElementPtr task;
    if (const auto parent = operation.parent(); parent && parent->label() == "task")
        task = parent;
    std::vector<ElementPtr> tasks;
    if (station)
        for (const auto& t : station->children("task"))
            tasks.push_back(t);
    for (const std::uint32_t id : {settings.toolData, settings.speed, settings.zone, settings.workObject})
        for (const auto& t : tasks)
            if (!task && id != 0 && ItemWithId(*t, id))
                task = t;
    if (!task && tasks.size() == 1)
        task = tasks.front();
    if (!task)
        throw std::runtime_error(fmt::format("{}: no program task to hold its path", name));

    const auto itemName = [&](std::uint32_t id, std::string_view what) {
        if (id == 0)
            throw std::runtime_error(fmt::format("{}: path_gen/{} names no data item", name, what));
        const ElementPtr item = ItemWithId(*task, id);
        if (!item)
            throw std::runtime_error(
                fmt::format("{}: path_gen/{} {} names no data item of task '{}'", name, what, id, NameOf(*task)));
        return item->valueOr<std::string>("name", std::string());
    };
    const std::string zone = itemName(settings.zone, "zone");
    const std::string tool = itemName(settings.toolData, "tooldata");
    std::unordered_map<std::uint32_t, std::string> speeds;
    for (const auto& pose : poses)
        if (!speeds.contains(pose.speed))
            speeds.emplace(pose.speed, itemName(pose.speed, "speed"));

    RigidTransform frame;
    std::string workObject;
    if (settings.workObject != 0) {
        workObject = itemName(settings.workObject, "workobject");
        const RigidTransform* placed = layout.worldOf(settings.workObject);
        if (!placed)
            throw std::runtime_error(
                fmt::format("{}: path_gen/workobject {} is not a wobjdata item", name, settings.workObject));
        frame = *placed;
    } else if (station) {
        const std::uint32_t controller = task->valueOr<unsigned int>("controller_id", 0u);
        for (const auto& c : station->children("controller"))
            if (controller != 0 && c->getId(false) == controller)
                frame = RigidTransform::FromPose(c->valueOr<zrv::rob::PoseTemplate<double>>("task_frame", {}));
    }
    const RigidTransform toWorkObject = frame.inverse();

    ReachJudge judge = options.judge;
    if (!judge && options.judgeFor)
        judge = options.judgeFor(*task, *ItemWithId(*task, settings.toolData));

    Result result;
    result.judged = static_cast<bool>(judge);
    result.targets.reserve(poses.size());
    const ReachVerdict* previous = nullptr;
    for (std::size_t k = 0; k < poses.size(); ++k) {
        Target target{{}, poses[k].role, poses[k].tool, {}};
        if (judge) {
            target.reach = judge(poses[k].tool, previous);
            result.unreachable += target.reach.status == PathReach::Unreachable;
            result.configurationChanges += target.reach.status == PathReach::ConfigurationChange;
        }
        result.targets.push_back(std::move(target));
        previous = &result.targets.back().reach;
        if (k > 0) {
            const double step = frame::Distance(poses[k - 1].tool.t, poses[k].tool.t);
            result.length += step;
            if (poses[k - 1].role == PathGenerator::Role::Process && poses[k].role == PathGenerator::Role::Process)
                result.processLength += step;
        }
    }

    std::vector<PathWriter::Move> moves;
    moves.reserve(poses.size());
    for (std::size_t k = 0; k < poses.size(); ++k) {
        PathWriter::Move move;
        move.speed = speeds.at(poses[k].speed);
        move.zone = zone;
        const auto robTarget = [&](std::size_t i) { return TargetOf(toWorkObject * poses[i].tool, result.targets[i].reach); };
        if (poses[k].move == PathGenerator::Move::CircularVia && k + 1 < poses.size()) {
            move.instruction = "Movec";
            move.via = robTarget(k);
            ++k;
            move.speed = speeds.at(poses[k].speed);
        } else {
            move.instruction = poses[k].move == PathGenerator::Move::Joint ? "Movej" : "Movel";
        }
        move.target = robTarget(k);
        moves.push_back(std::move(move));
    }

    // The previous path may sit in another task, if the operation's data
    // moved since.
    const std::uint32_t previousPath = operation.valueOr<unsigned int>("pathid", 0u);
    for (const auto& t : tasks) {
        bool holds = false;
        for (const auto& p : t->children("path"))
            holds = holds || (previousPath != 0 && p->getId(false) == previousPath);
        if (holds && t != task)
            PathWriter(root, t).remove(previousPath);
    }
    PathWriter writer(root, task);
    writer.remove(previousPath);
    std::vector<std::string> names;
    const auto path = writer.write(operation, NameOf(operation), moves, tool, workObject, &names);
    result.pathId = path->getId(false);
    result.pathName = path->valueOr<std::string>("name", std::string());
    result.moves = moves.size();
    for (std::size_t k = 0; k < names.size() && k < result.targets.size(); ++k)
        result.targets[k].name = names[k];
    return result;
}

} // namespace cell
