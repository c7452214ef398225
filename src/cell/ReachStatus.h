#pragma once

// How a target stands with its robot, from best to worst.

#include "cell/Export.h"

#include <string_view>

namespace cell {

enum class ReachStatus
{
    Reachable,
    Singular,         // reached, but within a singularity's margin
    NotInConfiguration, // reached, not in the configuration the target asks for
    OutsideLimits,    // the arm could take the pose, its joint limits forbid it
    OutOfReach,       // no joint values give the pose
    CannotJudge,      // no robot, tool or work object found (see the reason)
};

// "reachable", "singular", "configuration not available",
// "outside joint limits", "out of reach", "cannot be judged".
ZRV_CELL_EXPORT std::string_view ReachStatusName(ReachStatus status);

} // namespace cell
