#pragma once

// Something the motion simulation found along the motion: a collision or a
// near miss between two objects, a joint at its limit, a joint asked to move
// faster than it can, a singularity, a change of arm configuration or a
// target the robot cannot reach. Each is placed by the instruction moving
// at the time.

#include "cell/Export.h"

#include <cstdint>
#include <string>

namespace cell {

struct ZRV_CELL_EXPORT SimulationEvent
{
    enum class Kind
    {
        Collision,
        NearMiss,
        JointLimit,
        SpeedLimit,
        Singularity,
        ConfigurationChange,
        Unreachable,
    };

    Kind kind = Kind::Collision;
    double time = 0;                // seconds from the start of the run
    // A collision or near miss lasts until endTime (the last check that
    // found it within the instruction): the window colours the two objects
    // in between. Other events: time.
    double endTime = 0;
    std::uint32_t task = 0;
    std::uint32_t instruction = 0;  // the instruction moving at the time (0: none)
    std::uint32_t robot = 0;
    // The two objects (collision set members as expanded: links, bodies,
    // tools) of a collision or near miss.
    std::uint32_t objectA = 0;
    std::uint32_t objectB = 0;
    std::uint32_t collisionSet = 0;
    // Penetration depth of a collision, distance of a near miss (mm).
    double distance = 0;
    std::string message;

    // Collisions and limit events make a run fail; the others inform.
    bool fails() const { return kind == Kind::Collision || kind == Kind::JointLimit || kind == Kind::SpeedLimit || kind == Kind::Unreachable; }
    static const char* Name(Kind kind);
};

} // namespace cell
