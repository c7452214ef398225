#pragma once

// The robots of a station with their kinematics, the tools and work objects
// their programs name, and the reach of every target of every path.
//
// Lookups:
//  - A robot by its id or its name (the first match in document order; an
//    id wins over a name that looks like one). Its place in the cell is its
//    world pose in the CellLayout.
//  - A program task's robot: the manipulator that holds the wrist named by
//    its `wrist_id`, else the `manipulator` of its controller.
//  - A tool by name: a data item of the task holding tooldata, else the
//    `tooldata` of a tool element by its name, else a tool element by its
//    id or name (its first tooldata). No tool argument means the flange
//    (tframe identity). A tool the robot does not hold (robhold false)
//    cannot be judged.
//  - An instruction's arguments are told apart by what they hold or name:
//    a robtarget, or the name of a task data item holding a robtarget,
//    wobjdata or tooldata, or of a tool data of a tool. A name found nowhere
//    is taken as a missing tool or work object when the argument's own name
//    says "tool" or "obj" (any case).
//  - A work object's frame is the task frame x uframe x oframe; without one
//    the task frame. One held by the robot or moved by a mechanical unit
//    cannot be judged.
//  - Targets: every robtarget argument of a path's instructions (given
//    inline, or the data item an argument names), in the instruction's work
//    object; its robconf chooses the configuration.

#include "cell/Export.h"
#include "cell/InverseKinematics.h"
#include "cell/ReachJudge.h"
#include "cell/ReachStatus.h"
#include "cell/RigidTransform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT CellKinematics
{
public:
    struct TargetReach
    {
        std::uint32_t path = 0;
        std::string pathName;
        std::uint32_t instruction = 0;
        std::string instructionName;
        std::string argument; // the argument holding or naming the target
        std::uint32_t robot = 0;
        RigidTransform world; // the tool centre point's pose asked for
        ReachStatus status = ReachStatus::CannotJudge;
        std::string reason;
        std::vector<double> joints; // the chosen solution, when there is one
    };

    // root: the document's root element (or the station).
    explicit CellKinematics(const std::shared_ptr<sdf::Element>& root);
    ~CellKinematics();

    // nullptr when no robot has that id or name.
    const InverseKinematics* robot(std::string_view idOrName) const;
    // The tool frame (in the flange frame) of a tool data or tool by name
    // or id, found as above with every task's data searched in document
    // order before the tools; nothing when none is found. Throws std::invalid_argument for a
    // tool the robot does not hold.
    std::optional<RigidTransform> toolFrame(std::string_view name) const;

    // A program task's robot (as above), or nullptr.
    const InverseKinematics* robotOf(const sdf::Element& task) const { return robotOfTask(task); }

    // Every target of every path, in document order.
    std::vector<TargetReach> reachAll() const;

    // A judge for path generation: the task's robot reaching world tool
    // frames with the tool data item toolData, each target's solution the
    // nearest to the one before (the robot's stored joints for the first),
    // so that the arm does not flip along a seam. The judge refers to this
    // object, which must outlive it. Throws std::invalid_argument when the
    // task has no robot or the tool data is not held by the robot.
    ReachJudge judgeFor(const sdf::Element& task, const sdf::Element& toolData) const;

private:
    const InverseKinematics* robotOfTask(const sdf::Element& task) const;

    std::shared_ptr<sdf::Element> station;
    std::vector<std::unique_ptr<InverseKinematics>> robots;
};

} // namespace cell
