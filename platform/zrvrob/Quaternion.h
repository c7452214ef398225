#pragma once

namespace zrv::rob {

// A rotation as a unit quaternion, scalar part first: q1 (w), q2, q3, q4.
struct Quaternion
{
    double w = 1;
    double x = 0;
    double y = 0;
    double z = 0;

    friend bool operator==(const Quaternion&, const Quaternion&) = default;
};

} // namespace zrv::rob
