#include "cell/CellKinematics.h"

#include "cell/CellLayout.h"
#include "cell/ElementValues.h"

#include <sdformat/Element.h>

#include <zrvrob/RobTarget.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <stdexcept>
#include <typeinfo>
#include <unordered_map>

namespace cell {

namespace {

using detail::FrameOf;
using detail::IdAt;
using detail::PoseAt;
using detail::TextAt;
using detail::ValueOf;
using ElementPtr = std::shared_ptr<sdf::Element>;

std::optional<std::uint32_t> AsId(std::string_view text)
{
    std::uint32_t id = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || end != text.data() + text.size() || id == 0)
        return std::nullopt;
    return id;
}

RigidTransform TargetPose(const zrv::rob::RobTarget& t)
{
    return RigidTransform::FromParts({t.trans.x, t.trans.y, t.trans.z}, {t.rot.w, t.rot.x, t.rot.y, t.rot.z});
}

// Tool data: a held tool's frame, or why it cannot be judged.
struct ToolFrame
{
    RigidTransform frame;
    std::string problem;
};

ToolFrame FromToolData(const zrv::rob::ToolData& data, std::string_view name)
{
    if (!data.robhold)
        return {{}, fmt::format("tool '{}' is not held by the robot", name)};
    return {FrameOf(data.tframe), {}};
}

std::optional<ToolFrame> StationTool(const sdf::Element& station, std::string_view name)
{
    const std::optional<std::uint32_t> id = AsId(name);
    for (const auto& tool : station.children("tool")) {
        for (const auto& data : tool->children("tooldata")) {
            if (TextAt(*data, "name") == name) {
                if (const auto value = ValueOf<zrv::rob::ToolData>(data))
                    return FromToolData(*value, name);
            }
        }
    }
    for (const auto& tool : station.children("tool")) {
        if ((id && tool->getId(false) == *id) || TextAt(*tool, "name") == name) {
            for (const auto& data : tool->children("tooldata")) {
                if (const auto value = ValueOf<zrv::rob::ToolData>(data))
                    return FromToolData(*value, name);
            }
            return ToolFrame{{}, fmt::format("tool '{}' has no tool data", name)};
        }
    }
    return std::nullopt;
}

} // namespace

CellKinematics::CellKinematics(const ElementPtr& root)
    : station(root && root->label() == "station" ? root : root ? root->get("station") : nullptr)
{
    if (!station)
        return;
    const CellLayout layout(root, {});
    for (const auto& element : station->children("manipulator")) {
        RobotModel model = RobotModel::FromMechanism(*element);
        if (const RigidTransform* world = layout.worldOf(model.id()))
            model.setBase(*world);
        robots.push_back(std::make_unique<InverseKinematics>(std::move(model)));
    }
}

CellKinematics::~CellKinematics() = default;

const InverseKinematics* CellKinematics::robot(std::string_view idOrName) const
{
    if (const auto id = AsId(idOrName)) {
        for (const auto& r : robots) {
            if (r->robot().id() == *id)
                return r.get();
        }
    }
    for (const auto& r : robots) {
        if (r->robot().name() == idOrName)
            return r.get();
    }
    return nullptr;
}

std::optional<RigidTransform> CellKinematics::toolFrame(std::string_view name) const
{
    if (!station)
        return std::nullopt;
    // As a program finds it: the tasks' data first, then the tools.
    std::optional<ToolFrame> found;
    for (const auto& task : station->children("task")) {
        for (const auto& data : task->children("dataitem")) {
            if (found || TextAt(*data, "name") != name)
                continue;
            if (const auto value = ValueOf<zrv::rob::ToolData>(data))
                found = FromToolData(*value, name);
        }
    }
    if (!found)
        found = StationTool(*station, name);
    if (!found)
        return std::nullopt;
    if (!found->problem.empty())
        throw std::invalid_argument(found->problem);
    return found->frame;
}

std::vector<CellKinematics::TargetReach> CellKinematics::reachAll() const
{
    std::vector<TargetReach> result;
    if (!station)
        return result;
    std::unordered_map<std::uint32_t, RigidTransform> taskFrames;
    for (const auto& controller : station->children("controller"))
        taskFrames[controller->getId(false)] = PoseAt(*controller, "task_frame");

    for (const auto& task : station->children("task")) {
        const std::uint32_t controllerId = IdAt(*task, "controller_id");
        const auto frame = taskFrames.find(controllerId);
        const RigidTransform taskFrame = frame == taskFrames.end() ? RigidTransform{} : frame->second;
        const InverseKinematics* robot = robotOfTask(*task);

        // The task's data by name.
        std::unordered_map<std::string, ElementPtr> data;
        for (const auto& item : task->children("dataitem"))
            data.try_emplace(TextAt(*item, "name"), item);
        std::unordered_map<std::string, ToolFrame> tools;
        const auto toolOf = [&](const std::string& name) -> std::optional<ToolFrame> {
            if (auto known = tools.find(name); known != tools.end())
                return known->second;
            std::optional<ToolFrame> found;
            if (const auto item = data.find(name); item != data.end()) {
                if (const auto value = ValueOf<zrv::rob::ToolData>(item->second))
                    found = FromToolData(*value, name);
            }
            if (!found)
                found = StationTool(*station, name);
            if (found)
                tools.emplace(name, *found);
            return found;
        };

        for (const auto& path : task->children("path")) {
            for (const auto& instruction : path->children("instruction")) {
                std::string toolName;
                std::string wobjName;
                std::vector<std::pair<std::string, zrv::rob::RobTarget>> targets;
                // Arguments are told apart by what they hold or name, not
                // by their names: a robtarget, or the name of a data item
                // holding a robtarget, wobjdata or tooldata (or of a tool).
                // A name found nowhere counts only where the argument's own
                // name says tool or object, so that it can be reported.
                for (const auto& argument : instruction->children("argument")) {
                    const std::string argName = TextAt(*argument, "name");
                    if (const auto t = ValueOf<zrv::rob::RobTarget>(argument)) {
                        targets.emplace_back(argName, *t);
                        continue;
                    }
                    const auto text = ValueOf<std::string>(argument);
                    if (!text || text->empty())
                        continue;
                    if (const auto item = data.find(*text); item != data.end()) {
                        if (const auto t = ValueOf<zrv::rob::RobTarget>(item->second))
                            targets.emplace_back(argName, *t);
                        else if (ValueOf<zrv::rob::WObjData>(item->second))
                            wobjName = *text;
                        else if (ValueOf<zrv::rob::ToolData>(item->second))
                            toolName = *text;
                        continue;
                    }
                    if (toolOf(*text)) {
                        toolName = *text;
                        continue;
                    }
                    std::string lower = argName;
                    std::transform(lower.begin(), lower.end(), lower.begin(),
                                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                    if (lower.find("tool") != std::string::npos)
                        toolName = *text;
                    else if (lower.find("obj") != std::string::npos)
                        wobjName = *text;
                }
                // Named, not a structured binding: clang 14 cannot capture
                // a binding in the lambda below.
                for (const auto& named : targets) {
                    const std::string& argName = named.first;
                    const zrv::rob::RobTarget& target = named.second;
                    TargetReach entry;
                    entry.path = path->getId(false);
                    entry.pathName = TextAt(*path, "name");
                    entry.instruction = instruction->getId(false);
                    entry.instructionName = TextAt(*instruction, "name");
                    entry.argument = argName;
                    entry.robot = robot ? robot->robot().id() : 0;
                    const auto judge = [&]() {
                        if (!robot) {
                            entry.reason = "no robot found for the task";
                            return;
                        }
                        RigidTransform wobj = taskFrame;
                        if (!wobjName.empty()) {
                            const auto item = data.find(wobjName);
                            const auto value = item == data.end() ? std::nullopt : ValueOf<zrv::rob::WObjData>(item->second);
                            if (!value) {
                                entry.reason = fmt::format("no work object '{}'", wobjName);
                                return;
                            }
                            if (value->robhold) {
                                entry.reason = fmt::format("work object '{}' is held by the robot", wobjName);
                                return;
                            }
                            if (!value->ufprog) {
                                entry.reason = fmt::format("work object '{}' is moved by mechanical unit '{}'",
                                                           wobjName, value->ufmec);
                                return;
                            }
                            wobj = taskFrame * FrameOf(value->uframe) * FrameOf(value->oframe);
                        }
                        RigidTransform tool;
                        if (!toolName.empty()) {
                            const auto found = toolOf(toolName);
                            if (!found) {
                                entry.reason = fmt::format("no tool '{}'", toolName);
                                return;
                            }
                            if (!found->problem.empty()) {
                                entry.reason = found->problem;
                                return;
                            }
                            tool = found->frame;
                        }
                        entry.world = wobj * TargetPose(target);
                        const std::array<int, 4> conf{target.robconf.cf1, target.robconf.cf4, target.robconf.cf6,
                                                      target.robconf.cfx};
                        const auto answer = robot->reach(robot->flangeFor(entry.world, tool), conf,
                                                         robot->robot().currentValues());
                        entry.status = answer.status;
                        entry.reason = answer.reason;
                        if (!answer.solutions.empty())
                            entry.joints = answer.solutions.front().joints;
                    };
                    judge();
                    result.push_back(std::move(entry));
                }
            }
        }
    }
    return result;
}

const InverseKinematics* CellKinematics::robotOfTask(const sdf::Element& task) const
{
    const std::uint32_t wrist = IdAt(task, "wrist_id");
    for (const auto& r : robots)
        if (wrist != 0 && r->robot().wristId() == wrist)
            return r.get();
    const std::uint32_t controllerId = IdAt(task, "controller_id");
    if (!station || controllerId == 0)
        return nullptr;
    for (const auto& controller : station->children("controller")) {
        if (controller->getId(false) != controllerId)
            continue;
        const std::uint32_t unit = IdAt(*controller, "manipulator");
        for (const auto& r : robots)
            if (unit != 0 && r->robot().id() == unit)
                return r.get();
    }
    return nullptr;
}

ReachJudge CellKinematics::judgeFor(const sdf::Element& task, const sdf::Element& toolData) const
{
    const InverseKinematics* ik = robotOfTask(task);
    if (!ik)
        throw std::invalid_argument(fmt::format("task '{}' has no robot to judge reach with", TextAt(task, "name")));
    const std::string toolName = TextAt(toolData, "name");
    const auto value = toolData.get("value");
    if (!value || !value->hasValue() || value->type_info() != typeid(zrv::rob::ToolData))
        throw std::invalid_argument(fmt::format("data item '{}' holds no tool data", toolName));
    const ToolFrame tool = FromToolData(value->as<zrv::rob::ToolData>(), toolName);
    if (!tool.problem.empty())
        throw std::invalid_argument(tool.problem);
    const std::vector<double> stored = ik->robot().currentValues();
    return [ik, frame = tool.frame, stored](const RigidTransform& tcp, const ReachVerdict* previous) {
        const std::vector<double>& near =
            previous && !previous->joints.empty() ? previous->joints : stored;
        const InverseKinematics::Result found = ik->reach(ik->flangeFor(tcp, frame), std::nullopt, near);
        ReachVerdict verdict;
        verdict.status = PathReach::Unreachable;
        if (found.solutions.empty() || found.status == ReachStatus::OutsideLimits ||
            found.status == ReachStatus::OutOfReach || found.status == ReachStatus::CannotJudge)
            return verdict;
        const IkSolution& chosen = found.solutions.front();
        verdict.joints = chosen.joints;
        verdict.configuration = {chosen.conf[0], chosen.conf[1], chosen.conf[2], chosen.conf[3]};
        const bool changed = previous && previous->status != PathReach::Unreachable &&
                             !(previous->configuration == verdict.configuration);
        verdict.status = changed ? PathReach::ConfigurationChange : PathReach::Reachable;
        return verdict;
    };
}

} // namespace cell
