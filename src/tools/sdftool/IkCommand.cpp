// sdftool ik: every joint solution of a robot for a tool centre point pose.

#include "Command.h"
#include "JsonText.h"
#include "KinematicsArgs.h"

#include <cell/InverseKinematics.h>

#include <fmt/format.h>

#include <cmath>
#include <string>
#include <vector>

namespace sdftool {

namespace {

constexpr std::string_view kHelp = R"HELP(Usage: sdftool ik FILE ROBOT X Y Z QW QX QY QZ [--tool NAME] [--json]

Prints every solution inside the joint limits that puts the robot's tool
centre point (the flange without --tool) at the world pose X Y Z (mm) QW QX
QY QZ (a quaternion, normalised here), one a line, nearest to the robot's
current joints first:
  J1 ... Jn conf CF1 CF4 CF6 CFX[ singular: WHICH]
Joint values are as the document stores them (radians, millimetres); the
configuration is a robtarget's robconf (see the README). Without a solution
it prints the pose's status and why:
  out of reach: no joint values give this pose
  outside joint limits: every solution lies outside the joint limits

ROBOT is a manipulator's id or name.

Options:
  --tool NAME  As for sdftool fk.
  --json       Print one JSON object instead:
                 {"robot": ID, "solver": "closed form"|"numerical",
                  "status": "...", "reason": "...",
                  "solutions": [{"joints": [...], "conf": [cf1, cf4, cf6, cfx],
                                 "singular": ["wrist", ...]}, ...]}
  -h, --help   Show this help.

Exit status: 0 with solutions, 1 without, 2 for a wrong command line, an
unknown robot or tool or a file that cannot be read.
)HELP";

constexpr OptionSpec kOptions[] = {{"json", 0, false}, {"tool", 0, true}};

std::vector<std::string_view> Singularities(const cell::IkSolution& s)
{
    std::vector<std::string_view> list;
    if (s.wristSingular)
        list.push_back("wrist");
    if (s.shoulderSingular)
        list.push_back("shoulder");
    if (s.elbowSingular)
        list.push_back("elbow");
    if (s.otherSingular)
        list.push_back("axes aligned");
    return list;
}

int body(const ParsedArgs& args)
{
    args.expectPositional(9, 9, "FILE ROBOT X Y Z QW QX QY QZ");
    const auto& positional = args.positional();
    std::array<double, 7> numbers{};
    constexpr std::string_view kNames[] = {"X", "Y", "Z", "QW", "QX", "QY", "QZ"};
    for (std::size_t i = 0; i < 7; ++i)
        numbers[i] = NumberArgument(positional[i + 2], kNames[i]);
    if (std::hypot(numbers[3], numbers[4], std::hypot(numbers[5], numbers[6])) < 1e-9)
        throw UsageError("the quaternion QW QX QY QZ is zero");
    const KinematicsInput input = ReadKinematics(positional[0]);
    const cell::InverseKinematics& robot = RobotArgument(*input.cell, positional[1]);
    const cell::RigidTransform tool = ToolArgument(*input.cell, args);
    const cell::RigidTransform world =
        cell::RigidTransform::FromParts({numbers[0], numbers[1], numbers[2]}, {numbers[3], numbers[4], numbers[5], numbers[6]});
    const cell::RobotModel& model = robot.robot();
    const auto result = robot.solve(robot.flangeFor(world, tool), model.currentValues());

    if (args.has("json")) {
        std::string solutions;
        for (const auto& s : result.solutions) {
            std::string joints;
            for (const double v : s.joints)
                joints += (joints.empty() ? "" : ", ") + NumberText(v);
            std::string singular;
            for (const auto which : Singularities(s))
                singular += (singular.empty() ? "" : ", ") + JsonString(which);
            solutions += fmt::format("{}{{\"joints\": [{}], \"conf\": [{}, {}, {}, {}], \"singular\": [{}]}}",
                                     solutions.empty() ? "" : ", ", joints, s.conf[0], s.conf[1], s.conf[2], s.conf[3],
                                     singular);
        }
        fmt::print("{{\"robot\": {}, \"solver\": {}, \"status\": {}, \"reason\": {}, \"solutions\": [{}]}}\n",
                   model.id(), JsonString(robot.closedForm() ? "closed form" : "numerical"),
                   JsonString(cell::ReachStatusName(result.status)), JsonString(result.reason), solutions);
    } else if (result.solutions.empty()) {
        fmt::print("{}: {}\n", cell::ReachStatusName(result.status), result.reason);
    } else {
        std::string out;
        for (const auto& s : result.solutions) {
            for (const double v : s.joints)
                out += NumberText(v) + " ";
            fmt::format_to(std::back_inserter(out), "conf {} {} {} {}", s.conf[0], s.conf[1], s.conf[2], s.conf[3]);
            std::string singular;
            for (const auto which : Singularities(s))
                singular += fmt::format("{}{}", singular.empty() ? "" : ", ", which);
            out += singular.empty() ? "\n" : fmt::format(" singular: {}\n", singular);
        }
        fmt::print("{}", out);
    }
    return result.solutions.empty() ? kExitFailure : kExitOk;
}

int run(const ParsedArgs& args)
{
    return RunKinematics(args, body);
}

} // namespace

const Command kIkCommand{"ik", "every joint solution of a robot for a tool pose", kHelp, kOptions, run,
                         kNoValuePosition};

} // namespace sdftool
