#pragma once

// One answer of inverse kinematics: the joint values (stored, as the
// document holds them), the arm configuration they form and how close the
// arm is to a singularity there.

#include "cell/Export.h"

#include <array>
#include <vector>

namespace cell {

struct ZRV_CELL_EXPORT IkSolution
{
    std::vector<double> joints;
    // cf1 cf4 cf6 cfx, as a robtarget's robconf (see ArmConfiguration).
    std::array<int, 4> conf{0, 0, 0, 0};
    // Within the margins stated in ClosedFormIk.h; `other` is the numerical
    // solver's test (the Jacobian loses rank) for chains without closed form.
    bool wristSingular = false;
    bool shoulderSingular = false;
    bool elbowSingular = false;
    bool otherSingular = false;

    bool singular() const { return wristSingular || shoulderSingular || elbowSingular || otherSingular; }
};

} // namespace cell
