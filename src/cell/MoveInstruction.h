#pragma once

// One move of a program as the simulation runs it, its arguments found and
// placed in the cell: where the tool centre point goes (world frame), with
// which tool, how fast and how close it passes the target.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace cell {

struct ZRV_CELL_EXPORT MoveInstruction
{
    enum class Kind
    {
        Joint,  // Movej: joint space
        Linear, // Movel and process moves: straight tool centre point line
    };

    std::uint32_t id = 0;
    std::string name;
    Kind kind = Kind::Linear;
    RigidTransform target;                    // the tool centre point, world
    std::optional<std::array<int, 4>> conf;   // the target's robconf
    std::optional<RigidTransform> via;        // a circular move's via point, world
    RigidTransform tool;                      // tframe, in the flange frame
    double tcpSpeed = 100;                    // mm/s
    double orientationSpeed = 500;            // degrees/s
    bool finePoint = true;
    double zone = 0;                          // mm the corner may be cut by
    // Why the move cannot run (a missing tool or target); empty when it can.
    std::string problem;
};

} // namespace cell
