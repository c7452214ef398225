#include "cell/ArmConfiguration.h"

#include "cell/RobotModel.h"

#include <cmath>
#include <numbers>

namespace cell {

int ArmConfiguration::Quadrant(double radians)
{
    // A value written with six digits may land a hair below a quadrant's
    // edge (90 degrees as 1.5708): round such values onto the edge.
    const double quarters = radians / (std::numbers::pi / 2);
    const double nearest = std::round(quarters);
    return static_cast<int>(std::abs(quarters - nearest) < 1e-5 ? nearest : std::floor(quarters));
}

std::array<int, 4> ArmConfiguration::Of(const RobotModel& robot, std::span<const double> stored, int cfx)
{
    const auto quadrant = [&](std::size_t k) {
        if (k >= stored.size() || k >= robot.dof() || robot.joints()[k].type != RobotModel::JointType::Revolute)
            return 0;
        return Quadrant(stored[k]);
    };
    return {quadrant(0), quadrant(3), quadrant(5), cfx};
}

int ArmConfiguration::Branch(bool shoulderBack, bool elbowDown, bool wristFlipped)
{
    return (shoulderBack ? 1 : 0) + (elbowDown ? 2 : 0) + (wristFlipped ? 4 : 0);
}

bool ArmConfiguration::Matches(const std::array<int, 4>& solution, const std::array<int, 4>& wanted, bool compareBranch)
{
    return solution[0] == wanted[0] && solution[1] == wanted[1] && solution[2] == wanted[2] &&
           (!compareBranch || solution[3] == wanted[3]);
}

} // namespace cell
