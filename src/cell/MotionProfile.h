#pragma once

// The time course of one move: the fraction s (0..1) of the move done at a
// time t. The move cruises at the speed that covers it in `cruise` seconds;
// a move that starts (ends) at a stop speeds up (slows down) at the rate
// that reaches (leaves) the cruise speed in `ramp` seconds. A move too short
// to reach its cruise speed never does (a triangle of speed over time).

#include "cell/Export.h"

namespace cell {

class ZRV_CELL_EXPORT MotionProfile
{
public:
    MotionProfile() = default;
    MotionProfile(double cruise, double ramp, bool stopAtStart, bool stopAtEnd);

    double duration() const { return total; }
    double at(double t) const;

private:
    double speed = 0;      // of s, per second, when cruising
    double accelStart = 0; // of s, per second squared; 0: no ramp
    double accelEnd = 0;
    double rampIn = 0;     // durations of the three phases
    double cruiseTime = 0;
    double rampOut = 0;
    double total = 0;
};

} // namespace cell
