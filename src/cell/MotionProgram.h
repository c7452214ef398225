#pragma once

// What a simulation runs: the tasks of a scenario with the paths their entry
// names, each path's moves read from the station.
//
//  - Scenario: the one named (by name or id), else the station's active
//    scenario, else none. A scenario runs the tasks it lists under its
//    simulated controllers, where the task is simulated too; a task's entry
//    that names one of its paths runs that path, any other entry ("main")
//    every path of the task in document order. Without a scenario every
//    task runs every path.
//  - Moves: every instruction with a robtarget (inline, or the task data
//    item an argument names). `Movej` moves in joint space, `Movec` through
//    its `via` target, every other one (`Movel`, process moves) on a
//    straight line. Speed, zone, tool and work object are the arguments
//    naming (or holding) speeddata, zonedata, tooldata and wobjdata; the
//    defaults are 100 mm/s, 500 degrees/s, a fine point, the flange and the
//    task frame.

#include "cell/Export.h"
#include "cell/MoveInstruction.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class CellKinematics;
class InverseKinematics;

struct ZRV_CELL_EXPORT PathProgram
{
    std::uint32_t id = 0;
    std::string name;
    std::vector<MoveInstruction> moves;
};

struct ZRV_CELL_EXPORT TaskProgram
{
    std::uint32_t id = 0;
    std::string name;
    const InverseKinematics* robot = nullptr; // nullptr: the task has none
    std::vector<PathProgram> paths;
};

class ZRV_CELL_EXPORT MotionProgram
{
public:
    // Throws std::invalid_argument when a scenario is asked for by a name
    // or id that no scenario has.
    static std::vector<TaskProgram> Read(const std::shared_ptr<sdf::Element>& root, const CellKinematics& kinematics,
                                         std::string_view scenario = {});
};

} // namespace cell
