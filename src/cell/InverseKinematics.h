#pragma once

// Inverse kinematics of one robot: the closed form where the arm fits it
// (ClosedFormIk), KDL's numerical solver for every other chain (NumericIk).
// Only solutions within the joint limits count; a revolute joint whose
// range exceeds a turn adds the copies of each solution one turn (2π) up
// and down that fit its limits. A robtarget's configuration (robconf, see
// ArmConfiguration) chooses among them.

#include "cell/ClosedFormIk.h"
#include "cell/Export.h"
#include "cell/IkSolution.h"
#include "cell/NumericIk.h"
#include "cell/ReachStatus.h"
#include "cell/RigidTransform.h"
#include "cell/RobotModel.h"

#include <array>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cell {

class ZRV_CELL_EXPORT InverseKinematics
{
public:
    struct Result
    {
        ReachStatus status = ReachStatus::OutOfReach;
        std::string reason;
        // Within the limits, nearest to the current joints first. reach()
        // gives the chosen one first.
        std::vector<IkSolution> solutions;
    };

    explicit InverseKinematics(RobotModel robot);
    ~InverseKinematics();
    InverseKinematics(InverseKinematics&&) noexcept;
    InverseKinematics& operator=(InverseKinematics&&) noexcept;

    const RobotModel& robot() const { return *model; }
    bool closedForm() const { return closed.has_value(); }
    // Why the closed form does not fit the robot (empty when it does).
    const std::string& numericReason() const { return whyNumeric; }

    // The flange pose, in the robot's base frame, that puts the tool centre
    // point (tframe in the flange frame) at the world pose.
    RigidTransform flangeFor(const RigidTransform& worldTcp, const RigidTransform& toolFrame) const;

    // Every solution within the limits for the flange pose (base frame).
    // current: stored values, for ordering and the wrist singularity.
    Result solve(const RigidTransform& flange, std::span<const double> current) const;
    // The status of the pose for a target with that configuration (none:
    // any), the chosen solution first.
    Result reach(const RigidTransform& flange, const std::optional<std::array<int, 4>>& conf,
                 std::span<const double> current) const;

private:
    // Raw answers (limits not applied) turned into stored solutions within
    // the limits; returns whether any raw answer exists.
    bool solutions(const RigidTransform& flange, std::span<const double> current, bool firstOnly,
                   const std::optional<std::array<int, 4>>& conf, std::vector<IkSolution>& out) const;
    void addTurns(std::span<const double> motion, const IkSolution& flags, int cfx, std::vector<IkSolution>& out) const;

    std::unique_ptr<RobotModel> model;
    std::optional<ClosedFormIk> closed;
    std::unique_ptr<NumericIk> numeric;
    std::string whyNumeric;
};

} // namespace cell
