#pragma once

// What the kinematics commands (fk, ik, reach) share: the robot and tool
// named on the command line, numbers in and out, and reading the station so
// that a file that cannot be read exits with the usage status, as these
// commands promise.

#include "ArgParser.h"

#include <cell/CellKinematics.h>
#include <cell/RigidTransform.h>

#include <memory>
#include <string>
#include <string_view>

namespace sdf {
class SDF;
}

namespace sdftool {

// The document and its robots. Throws KinematicsReadError when the file
// cannot be read.
struct KinematicsInput
{
    std::shared_ptr<sdf::SDF> document;
    std::unique_ptr<cell::CellKinematics> cell;
};

class KinematicsReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

KinematicsInput ReadKinematics(const std::string& path);

// Runs a kinematics command: a read failure is printed and gives
// kExitUsage.
int RunKinematics(const ParsedArgs& args, int (*body)(const ParsedArgs&));

// The robot by id or name; a UsageError when there is none.
const cell::InverseKinematics& RobotArgument(const cell::CellKinematics& cell, const std::string& idOrName);
// --tool NAME: its tool frame in the flange frame; identity without it.
cell::RigidTransform ToolArgument(const cell::CellKinematics& cell, const ParsedArgs& args);
double NumberArgument(const std::string& text, std::string_view what);
// Shortest text that reads back to the same double; no "-0".
std::string NumberText(double value);
// "x y z qw qx qy qz", qw not negative.
std::string PoseText(const cell::RigidTransform& pose);
std::string PoseJson(const cell::RigidTransform& pose);

} // namespace sdftool
