#include "cell/ReachStatus.h"

namespace cell {

std::string_view ReachStatusName(ReachStatus status)
{
    switch (status) {
    case ReachStatus::Reachable:
        return "reachable";
    case ReachStatus::Singular:
        return "singular";
    case ReachStatus::NotInConfiguration:
        return "configuration not available";
    case ReachStatus::OutsideLimits:
        return "outside joint limits";
    case ReachStatus::OutOfReach:
        return "out of reach";
    case ReachStatus::CannotJudge:
        return "cannot be judged";
    }
    return "cannot be judged";
}

} // namespace cell
