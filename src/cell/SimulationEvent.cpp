#include "cell/SimulationEvent.h"

namespace cell {

const char* SimulationEvent::Name(Kind kind)
{
    switch (kind) {
    case Kind::Collision:
        return "collision";
    case Kind::NearMiss:
        return "near miss";
    case Kind::JointLimit:
        return "joint limit";
    case Kind::SpeedLimit:
        return "speed limit";
    case Kind::Singularity:
        return "singularity";
    case Kind::ConfigurationChange:
        return "configuration change";
    case Kind::Unreachable:
        return "unreachable";
    }
    return "event";
}

} // namespace cell
