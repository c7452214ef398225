#include "cell/MotionProfile.h"

#include <algorithm>
#include <cmath>

namespace cell {

MotionProfile::MotionProfile(double cruise, double ramp, bool stopAtStart, bool stopAtEnd)
{
    if (cruise <= 0) {
        total = 0;
        return;
    }
    speed = 1.0 / cruise;
    accelStart = stopAtStart && ramp > 0 ? speed / ramp : 0;
    accelEnd = stopAtEnd && ramp > 0 ? speed / ramp : 0;
    const double inverseSum = (accelStart > 0 ? 1 / accelStart : 0) + (accelEnd > 0 ? 1 / accelEnd : 0);
    // The fraction the ramps cover at full speed: v^2/(2a) each.
    if (speed * speed * inverseSum / 2 > 1) {
        speed = std::sqrt(2 / inverseSum);
    }
    rampIn = accelStart > 0 ? speed / accelStart : 0;
    rampOut = accelEnd > 0 ? speed / accelEnd : 0;
    const double ramps = speed * (rampIn + rampOut) / 2;
    cruiseTime = std::max(0.0, (1 - ramps) / speed);
    total = rampIn + cruiseTime + rampOut;
}

double MotionProfile::at(double t) const
{
    if (total <= 0 || t >= total)
        return 1;
    if (t <= 0)
        return 0;
    if (t < rampIn)
        return accelStart * t * t / 2;
    const double afterIn = speed * rampIn / 2;
    if (t < rampIn + cruiseTime)
        return afterIn + speed * (t - rampIn);
    const double left = total - t;
    return std::clamp(1 - accelEnd * left * left / 2, 0.0, 1.0);
}

} // namespace cell
