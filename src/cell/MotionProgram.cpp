#include "cell/MotionProgram.h"

#include "cell/CellKinematics.h"
#include "cell/ElementValues.h"

#include <sdformat/Element.h>

#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>

#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace cell {

namespace {

using detail::FrameOf;
using detail::FlagAt;
using detail::IdAt;
using detail::PoseAt;
using detail::TextAt;
using detail::ValueOf;
using ElementPtr = std::shared_ptr<sdf::Element>;

RigidTransform TargetPose(const zrv::rob::RobTarget& t)
{
    return RigidTransform::FromParts({t.trans.x, t.trans.y, t.trans.z}, {t.rot.w, t.rot.x, t.rot.y, t.rot.z});
}

// The tasks a scenario runs, each with its entry; nothing when no scenario
// applies (every task runs).
struct Selection
{
    bool all = true;
    std::unordered_map<std::uint32_t, std::string> entries;
};

Selection SelectTasks(const sdf::Element& station, std::string_view wanted)
{
    Selection selection;
    const ElementPtr simulation = station.get("simulation");
    ElementPtr scenario;
    if (simulation) {
        const std::uint32_t active = IdAt(*simulation, "active_scenario_id");
        for (const auto& candidate : simulation->children("scenario")) {
            const bool named = !wanted.empty() && (TextAt(*candidate, "name") == wanted ||
                                                   fmt::format("{}", candidate->getId(false)) == wanted);
            if (named || (wanted.empty() && active != 0 && candidate->getId(false) == active)) {
                scenario = candidate;
                break;
            }
        }
    }
    if (!scenario) {
        if (!wanted.empty())
            throw std::invalid_argument(fmt::format("no simulation scenario '{}'", wanted));
        return selection;
    }
    selection.all = false;
    for (const auto& controller : scenario->children("controller")) {
        if (!FlagAt(*controller, "simulated", true))
            continue;
        for (const auto& task : controller->children("task"))
            if (FlagAt(*task, "simulated", true))
                selection.entries.emplace(IdAt(*task, "id"), TextAt(*task, "entry"));
    }
    return selection;
}

class TaskReader
{
public:
    TaskReader(const sdf::Element& station, const sdf::Element& task, const CellKinematics& kinematics)
        : kinematics(kinematics)
    {
        const std::uint32_t controllerId = IdAt(task, "controller_id");
        for (const auto& controller : station.children("controller"))
            if (controllerId != 0 && controller->getId(false) == controllerId)
                taskFrame = PoseAt(*controller, "task_frame");
        for (const auto& item : task.children("dataitem"))
            data.try_emplace(TextAt(*item, "name"), item);
    }

    // The move, or nothing for an instruction without a robtarget.
    std::optional<MoveInstruction> read(const sdf::Element& instruction) const
    {
        MoveInstruction move;
        move.id = instruction.getId(false);
        move.name = TextAt(instruction, "name");
        move.kind = move.name == "Movej" ? MoveInstruction::Kind::Joint : MoveInstruction::Kind::Linear;
        std::optional<zrv::rob::RobTarget> target;
        std::optional<zrv::rob::RobTarget> via;
        RigidTransform wobj = taskFrame;
        for (const auto& argument : instruction.children("argument")) {
            const std::string argName = TextAt(*argument, "name");
            ElementPtr holder = argument;
            std::string named;
            if (const auto text = ValueOf<std::string>(argument); text && !text->empty()) {
                named = *text;
                const auto item = data.find(*text);
                if (item == data.end()) {
                    if (const auto tool = ToolFrameNamed(*text))
                        move.tool = *tool;
                    else if (argName.find("tool") != std::string::npos)
                        move.problem = fmt::format("no tool '{}'", *text);
                    else if (argName.find("obj") != std::string::npos)
                        move.problem = fmt::format("no work object '{}'", *text);
                    continue;
                }
                holder = item->second;
            }
            if (const auto t = ValueOf<zrv::rob::RobTarget>(holder)) {
                (argName == "via" ? via : target) = *t;
            } else if (const auto speed = ValueOf<zrv::rob::SpeedData>(holder)) {
                move.tcpSpeed = speed->v_tcp;
                move.orientationSpeed = speed->v_ori;
            } else if (const auto zone = ValueOf<zrv::rob::ZoneData>(holder)) {
                move.finePoint = zone->finep;
                move.zone = zone->finep ? 0 : zone->pzone_tcp;
            } else if (const auto tool = ValueOf<zrv::rob::ToolData>(holder)) {
                if (!tool->robhold)
                    move.problem = fmt::format("tool '{}' is not held by the robot", named);
                move.tool = FrameOf(tool->tframe);
            } else if (const auto w = ValueOf<zrv::rob::WObjData>(holder)) {
                if (w->robhold || !w->ufprog)
                    move.problem = fmt::format("work object '{}' moves with a robot or a mechanical unit", named);
                wobj = taskFrame * FrameOf(w->uframe) * FrameOf(w->oframe);
            }
        }
        if (!target)
            return std::nullopt;
        move.target = wobj * TargetPose(*target);
        move.conf = std::array<int, 4>{target->robconf.cf1, target->robconf.cf4, target->robconf.cf6,
                                       target->robconf.cfx};
        if (via && move.name == "Movec")
            move.via = wobj * TargetPose(*via);
        if (move.tcpSpeed <= 0 || move.orientationSpeed <= 0)
            move.problem = fmt::format("instruction {} has no speed above 0", move.id);
        return move;
    }

private:
    std::optional<RigidTransform> ToolFrameNamed(const std::string& name) const
    {
        try {
            return kinematics.toolFrame(name);
        } catch (const std::invalid_argument&) {
            return std::nullopt;
        }
    }

    const CellKinematics& kinematics;
    RigidTransform taskFrame;
    std::unordered_map<std::string, ElementPtr> data;
};

} // namespace

std::vector<TaskProgram> MotionProgram::Read(const std::shared_ptr<sdf::Element>& root,
                                             const CellKinematics& kinematics, std::string_view scenario)
{
    std::vector<TaskProgram> result;
    const ElementPtr station = root && root->label() == "station" ? root : root ? root->get("station") : nullptr;
    if (!station)
        return result;
    const Selection selection = SelectTasks(*station, scenario);
    for (const auto& task : station->children("task")) {
        const std::uint32_t taskId = task->getId(false);
        const auto entry = selection.entries.find(taskId);
        if (!selection.all && entry == selection.entries.end())
            continue;
        TaskProgram program;
        program.id = taskId;
        program.name = TextAt(*task, "name");
        program.robot = kinematics.robotOf(*task);
        const TaskReader reader(*station, *task, kinematics);
        bool entryIsPath = false;
        if (entry != selection.entries.end())
            for (const auto& path : task->children("path"))
                entryIsPath = entryIsPath || TextAt(*path, "name") == entry->second;
        for (const auto& path : task->children("path")) {
            if (entryIsPath && TextAt(*path, "name") != entry->second)
                continue;
            PathProgram p;
            p.id = path->getId(false);
            p.name = TextAt(*path, "name");
            for (const auto& instruction : path->children("instruction"))
                if (auto move = reader.read(*instruction))
                    p.moves.push_back(std::move(*move));
            program.paths.push_back(std::move(p));
        }
        result.push_back(std::move(program));
    }
    return result;
}

} // namespace cell
