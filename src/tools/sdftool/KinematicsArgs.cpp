#include "KinematicsArgs.h"

#include "Command.h"
#include "Document.h"
#include "DocumentError.h"

#include <sdformat/SDF.h>

#include <fmt/format.h>

#include <charconv>
#include <cmath>

namespace sdftool {

KinematicsInput ReadKinematics(const std::string& path)
{
    KinematicsInput input;
    try {
        input.document = ReadDocument(path);
    } catch (const DocumentError& e) {
        throw KinematicsReadError(e.what());
    }
    input.cell = std::make_unique<cell::CellKinematics>(input.document->Root());
    return input;
}

int RunKinematics(const ParsedArgs& args, int (*body)(const ParsedArgs&))
{
    try {
        return body(args);
    } catch (const KinematicsReadError& e) {
        fmt::print(stderr, "{}\n", e.what());
        return kExitUsage;
    }
}

const cell::InverseKinematics& RobotArgument(const cell::CellKinematics& cell, const std::string& idOrName)
{
    const cell::InverseKinematics* robot = cell.robot(idOrName);
    if (!robot)
        throw UsageError(fmt::format("no robot with id or name '{}'", idOrName));
    return *robot;
}

cell::RigidTransform ToolArgument(const cell::CellKinematics& cell, const ParsedArgs& args)
{
    const auto name = args.value("tool");
    if (!name)
        return {};
    try {
        if (const auto frame = cell.toolFrame(*name))
            return *frame;
    } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
    }
    throw UsageError(fmt::format("no tool or tool data named '{}'", *name));
}

double NumberArgument(const std::string& text, std::string_view what)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        throw UsageError(fmt::format("{} '{}' is not a number", what, text));
    return value;
}

std::string NumberText(double value)
{
    return fmt::format("{}", value == 0 ? 0.0 : value);
}

namespace {

std::array<double, 7> PoseNumbers(const cell::RigidTransform& pose)
{
    const double s = pose.q[0] < 0 ? -1 : 1;
    return {pose.t[0], pose.t[1], pose.t[2], s * pose.q[0], s * pose.q[1], s * pose.q[2], s * pose.q[3]};
}

} // namespace

std::string PoseText(const cell::RigidTransform& pose)
{
    std::string text;
    for (const double v : PoseNumbers(pose))
        text += (text.empty() ? "" : " ") + NumberText(v);
    return text;
}

std::string PoseJson(const cell::RigidTransform& pose)
{
    std::string text;
    for (const double v : PoseNumbers(pose))
        text += (text.empty() ? "" : ", ") + NumberText(v);
    return "[" + text + "]";
}

} // namespace sdftool
