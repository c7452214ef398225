// sdftool simulate: runs a station's programs and reports cycle times,
// collisions, near misses and limit events.

#include "Command.h"
#include "Document.h"
#include "JsonText.h"
#include "KinematicsArgs.h"

#include <cell/MotionSimulation.h>
#include <cell/StationState.h>

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool simulate FILE [--scenario NAME] [--json] [--save-state]

Runs the programs of the station FILE as the simulation scenario names them
(by name or id; without --scenario the station's active scenario, or every
path of every task when it has none) and prints the cycle time of every
path and task, then every event in time order: collisions and near misses
of the active collision sets, joint limits, speed limits, singularities,
configuration changes and targets out of reach. Times are those of the
motion model the README describes: an estimate.

Options:
  --scenario NAME  The scenario to run.
  --save-state     Save the station's state before the run into FILE (the
                   automatic state, replacing the earlier one).
  --json           Print one JSON object instead:
                     {"paths": [{"task": ID, "path": ID, "name": "...",
                       "start": S, "cycleTime": S}, ...],
                      "tasks": [{"task": ID, "name": "...", "robot": ID,
                       "cycleTime": S}, ...],
                      "events": [{"kind": "collision", "time": S, "endTime": S,
                       "task": ID, "instruction": ID, "robot": ID,
                       "objectA": ID, "objectB": ID, "collisionSet": ID,
                       "distance": MM, "message": "..."}, ...],
                      "duration": S, "failed": true|false}
  -h, --help       Show this help.

Exit status: 0 when the run is clean, 1 when any collision, joint limit,
speed limit or unreachable target occurs, 2 for a wrong command line, a
file that cannot be read or a scenario that does not exist.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}, {"scenario", 0, true}, {"save-state", 0, false}};

std::string Seconds(double value)
{
    return fmt::format("{:.3f}", value);
}

int body(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const std::string file = args.positional()[0];
    const KinematicsInput input = ReadKinematics(file);
    const auto root = input.document->Root();
    if (args.has("save-state")) {
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::system_clock::now().time_since_epoch());
        cell::StationState::AutoSave(root, static_cast<std::uint64_t>(now.count()));
        WriteDocument(*input.document, file);
    }
    const cell::MotionSimulation simulation(root, std::filesystem::absolute(file).parent_path());
    cell::MotionTimeline timeline;
    try {
        timeline = simulation.run(args.value("scenario").value_or(std::string()));
    } catch (const std::invalid_argument& e) {
        throw KinematicsReadError(fmt::format("sdftool simulate: {}", e.what()));
    }

    std::string out;
    if (args.has("json")) {
        std::string paths;
        for (const auto& p : timeline.paths())
            fmt::format_to(std::back_inserter(paths), "{}{{\"task\": {}, \"path\": {}, \"name\": {}, \"start\": {}, \"cycleTime\": {}}}",
                           paths.empty() ? "" : ", ", p.task, p.path, JsonString(p.name), NumberText(p.start),
                           NumberText(p.cycleTime()));
        std::string tasks;
        for (const auto& t : timeline.tasks())
            fmt::format_to(std::back_inserter(tasks), "{}{{\"task\": {}, \"name\": {}, \"robot\": {}, \"cycleTime\": {}}}",
                           tasks.empty() ? "" : ", ", t.task, JsonString(t.name), t.robot, NumberText(t.cycleTime));
        std::string events;
        for (const auto& e : timeline.events())
            fmt::format_to(std::back_inserter(events),
                           "{}{{\"kind\": {}, \"time\": {}, \"endTime\": {}, \"task\": {}, \"instruction\": {}, \"robot\": {}, "
                           "\"objectA\": {}, \"objectB\": {}, \"collisionSet\": {}, \"distance\": {}, \"message\": {}}}",
                           events.empty() ? "" : ", ", JsonString(cell::SimulationEvent::Name(e.kind)),
                           NumberText(e.time), NumberText(e.endTime), e.task, e.instruction, e.robot, e.objectA, e.objectB, e.collisionSet,
                           NumberText(e.distance), JsonString(e.message));
        fmt::print("{{\"paths\": [{}], \"tasks\": [{}], \"events\": [{}], \"duration\": {}, \"failed\": {}}}\n", paths,
                   tasks, events, NumberText(timeline.duration()), timeline.fails() ? "true" : "false");
    } else {
        for (const auto& p : timeline.paths())
            fmt::format_to(std::back_inserter(out), "path {} #{} (task #{}): {} s\n", p.name, p.path, p.task,
                           Seconds(p.cycleTime()));
        for (const auto& t : timeline.tasks())
            fmt::format_to(std::back_inserter(out), "task {} #{} (robot #{}): {} s\n", t.name, t.task, t.robot,
                           Seconds(t.cycleTime));
        for (const auto& e : timeline.events())
            fmt::format_to(std::back_inserter(out), "{} s {}: instruction #{}: {}\n", Seconds(e.time),
                           cell::SimulationEvent::Name(e.kind), e.instruction, e.message);
        fmt::format_to(std::back_inserter(out), "{}\n", timeline.fails() ? "failed" : "clean");
        fmt::print("{}", out);
    }
    return timeline.fails() ? kExitFailure : kExitOk;
}

// Any error but a wrong command line (which main reports) exits 2, so
// that 1 always means the program itself failed in the cell.
int checked(const ParsedArgs& args)
{
    try {
        return body(args);
    } catch (const UsageError&) {
        throw;
    } catch (const KinematicsReadError&) {
        throw;
    } catch (const std::exception& e) {
        fmt::print(stderr, "sdftool simulate: {}\n", e.what());
        return kExitUsage;
    }
}

int run(const ParsedArgs& args)
{
    return RunKinematics(args, checked);
}

} // namespace

const Command kSimulateCommand{"simulate", "run a station's programs: cycle times, collisions, limit events", kHelp,
                               kOptions, run, kNoValuePosition};

} // namespace sdftool
