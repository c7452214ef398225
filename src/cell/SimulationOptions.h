#pragma once

// The figures the motion model uses where the station says nothing.

#include "cell/Export.h"

namespace cell {

struct ZRV_CELL_EXPORT SimulationOptions
{
    // Spacing of the timeline's samples (s).
    double sampleTime = 0.004;
    // Joint speed limits: the station holds none, so every joint gets these
    // (rad/s for revolute joints, mm/s for prismatic ones).
    double revoluteSpeed = 3.14159265358979323846; // 180 degrees/s
    double prismaticSpeed = 1000;
    // Time a move takes to reach its speed from a stop, and to stop (s).
    double rampTime = 0.1;
    // Largest distance any point of a robot or its tool may travel between
    // two collision checks (mm), so that a thin part is not jumped over.
    double collisionTravel = 2.0;
    // Checks collisions at all (the timeline alone is cheaper).
    bool collisions = true;
};

} // namespace cell
