// sdftool fk: where a robot's tool centre point is for given joint values.

#include "Command.h"
#include "KinematicsArgs.h"

#include <cell/InverseKinematics.h>

#include <fmt/format.h>

#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool fk FILE ROBOT J1 ... Jn [--tool NAME] [--json]

Prints the world pose of the robot's tool centre point for the joint values
J1 ... Jn (one per joint, as the document stores them: radians for revolute
joints, millimetres for prismatic ones), as
  x y z qw qx qy qz
(millimetres, a unit quaternion with qw not negative). Without --tool the
pose is that of the flange (the robot's wrist frame).

ROBOT is a manipulator's id or name.

Options:
  --tool NAME  The tool centre point of that tool data (a task's data item
               or a tool's tooldata) or tool (its first tooldata). Its frame
               is taken in the flange frame.
  --json       Print one JSON object instead:
                 {"robot": ID, "pose": [x, y, z, qw, qx, qy, qz],
                  "withinLimits": true|false}
  -h, --help   Show this help.

Exit status: 0 on success, 2 for a wrong command line, an unknown robot or
tool, the wrong number of joint values or a file that cannot be read.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}, {"tool", 0, true}};

int body(const ParsedArgs& args)
{
    args.expectPositional(2, SIZE_MAX, "FILE ROBOT J1 ... Jn");
    const auto& positional = args.positional();
    const KinematicsInput input = ReadKinematics(positional[0]);
    const cell::InverseKinematics& robot = RobotArgument(*input.cell, positional[1]);
    const cell::RigidTransform tool = ToolArgument(*input.cell, args);
    const cell::RobotModel& model = robot.robot();
    if (positional.size() - 2 != model.dof())
        throw UsageError(fmt::format("robot '{}' has {} joints, {} values given", positional[1], model.dof(),
                                     positional.size() - 2));
    std::vector<double> joints;
    for (std::size_t k = 2; k < positional.size(); ++k)
        joints.push_back(NumberArgument(positional[k], fmt::format("joint value {}", k - 1)));
    const cell::RigidTransform world = model.base() * model.flange(joints) * tool;
    if (args.has("json")) {
        fmt::print("{{\"robot\": {}, \"pose\": {}, \"withinLimits\": {}}}\n", model.id(), PoseJson(world),
                   model.withinLimits(joints));
    } else {
        fmt::print("{}\n", PoseText(world));
    }
    return kExitOk;
}

int run(const ParsedArgs& args)
{
    return RunKinematics(args, body);
}

} // namespace

const Command kFkCommand{"fk", "world pose of a robot's tool centre point for joint values", kHelp, kOptions, run,
                         kNoValuePosition};

} // namespace sdftool
