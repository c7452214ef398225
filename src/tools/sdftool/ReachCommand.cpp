// sdftool reach: whether the robot reaches every target of every path.

#include "Command.h"
#include "JsonText.h"
#include "KinematicsArgs.h"

#include <cell/CellKinematics.h>

#include <fmt/format.h>

#include <string>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool reach FILE [--json]

Prints every target of every path of the station FILE with its status, one
a line:
  PATH INSTRUCTION #ID ARGUMENT: STATUS[ (REASON)]
The status is one of: reachable; singular (reached near a wrist, shoulder
or elbow singularity); configuration not available (other configurations
reach it); outside joint limits; out of reach; cannot be judged (no robot,
tool or work object found). A target is judged for its task's robot, with
the instruction's tool and work object, in the configuration its robtarget
states; the README says how.

Options:
  --json      Print one JSON object instead:
                {"targets": [{"path": ID, "pathName": "...",
                  "instruction": ID, "instructionName": "...",
                  "argument": "...", "robot": ID, "status": "...",
                  "reason": "...", "pose": [x, y, z, qw, qx, qy, qz],
                  "joints": [...]}, ...],
                 "reachable": N, "total": N}
  -h, --help  Show this help.

Exit status: 0 when every target is reachable, 1 otherwise, 2 for a wrong
command line or a file that cannot be read.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}};

int body(const ParsedArgs& args)
{
    args.expectPositional(1, 1, "one FILE");
    const KinematicsInput input = ReadKinematics(args.positional()[0]);
    const auto targets = input.cell->reachAll();
    std::size_t reachable = 0;
    std::string out;
    for (const auto& t : targets) {
        reachable += t.status == cell::ReachStatus::Reachable ? 1 : 0;
        const std::string_view status = cell::ReachStatusName(t.status);
        if (args.has("json")) {
            std::string joints;
            for (const double v : t.joints)
                joints += (joints.empty() ? "" : ", ") + NumberText(v);
            fmt::format_to(std::back_inserter(out),
                           "{}{{\"path\": {}, \"pathName\": {}, \"instruction\": {}, \"instructionName\": {}, "
                           "\"argument\": {}, \"robot\": {}, \"status\": {}, \"reason\": {}, \"pose\": {}, \"joints\": [{}]}}",
                           out.empty() ? "" : ", ", t.path, JsonString(t.pathName), t.instruction,
                           JsonString(t.instructionName), JsonString(t.argument), t.robot, JsonString(status),
                           JsonString(t.reason), PoseJson(t.world), joints);
        } else {
            fmt::format_to(std::back_inserter(out), "{} {} #{} {}: {}{}\n", t.pathName, t.instructionName,
                           t.instruction, t.argument, status, t.reason.empty() ? "" : fmt::format(" ({})", t.reason));
        }
    }
    if (args.has("json"))
        fmt::print("{{\"targets\": [{}], \"reachable\": {}, \"total\": {}}}\n", out, reachable, targets.size());
    else
        fmt::print("{}", out);
    return reachable == targets.size() ? kExitOk : kExitFailure;
}

int run(const ParsedArgs& args)
{
    return RunKinematics(args, body);
}

} // namespace

const Command kReachCommand{"reach", "status of every target of every path", kHelp, kOptions, run, kNoValuePosition};

} // namespace sdftool
