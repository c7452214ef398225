#pragma once

// A robtarget's configuration data (robconf: cf1 cf4 cf6 cfx) from joint
// values, and back as a filter on inverse kinematics solutions.
//
//   cf1, cf4, cf6  the quadrant of axes 1, 4 and 6: the number of whole
//                  quarter turns in the stored value, rounded down
//                  (0 for [0, 90) degrees, 1 for [90, 180), -1 for
//                  [-90, 0), 2 for [180, 270), ...). A turn more or less
//                  changes it by 4, so it also tells the ±2π copies apart.
//                  0 for an axis the robot does not have or a prismatic one.
//   cfx            the arm's branch, for arms the closed form solves:
//                  shoulder + 2 x elbow + 4 x wrist, each bit 1 on the
//                  side ClosedFormIk.h names (0..7).
//                  Other chains have no such branches: cfx is 0 and a
//                  target's cfx is not compared.

#include "cell/Export.h"

#include <array>
#include <span>

namespace cell {

class RobotModel;

class ZRV_CELL_EXPORT ArmConfiguration
{
public:
    static int Quadrant(double radians);
    // cf1, cf4, cf6 of stored values, with cfx as given.
    static std::array<int, 4> Of(const RobotModel& robot, std::span<const double> stored, int cfx);
    static int Branch(bool shoulderBack, bool elbowDown, bool wristFlipped);
    // Whether a solution's configuration is the one asked for.
    static bool Matches(const std::array<int, 4>& solution, const std::array<int, 4>& wanted, bool compareBranch);
};

} // namespace cell
