#pragma once

#include <zrvrob/Position.h>
#include <zrvrob/Quaternion.h>

namespace zrv::rob {

// The load a tool or payload puts on the robot: mass in kg, centre of
// gravity, axes of the moments of inertia and the moments about them.
struct LoadData
{
    double mass = 0;
    Position cog;
    Quaternion aom;
    double ix = 0;
    double iy = 0;
    double iz = 0;

    friend bool operator==(const LoadData&, const LoadData&) = default;
};

} // namespace zrv::rob
