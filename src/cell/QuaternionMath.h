#pragma once

// Quaternions (w x y z) as the motion model interpolates them. Internal to
// the library.

#include "cell/RigidTransform.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cell::detail {

using Quat = std::array<double, 4>;

inline double Dot(const Quat& a, const Quat& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
}

// The angle (radians) of the rotation from a to b, the shorter way round.
inline double AngleBetween(const Quat& a, const Quat& b)
{
    return 2 * std::acos(std::clamp(std::abs(Dot(a, b)), 0.0, 1.0));
}

// Spherical linear interpolation at f (0..1), the shorter way round.
inline Quat Slerp(const Quat& a, Quat b, double f)
{
    double c = Dot(a, b);
    if (c < 0) {
        for (double& v : b)
            v = -v;
        c = -c;
    }
    double wa = 1 - f;
    double wb = f;
    if (c < 0.9999995) {
        const double angle = std::acos(c);
        const double s = std::sin(angle);
        wa = std::sin((1 - f) * angle) / s;
        wb = std::sin(f * angle) / s;
    }
    Quat out{};
    double norm = 0;
    for (int k = 0; k < 4; ++k) {
        out[k] = wa * a[k] + wb * b[k];
        norm += out[k] * out[k];
    }
    norm = std::sqrt(norm);
    for (double& v : out)
        v /= norm;
    return out;
}

inline Vec3d Lerp(const Vec3d& a, const Vec3d& b, double f)
{
    return {a[0] + f * (b[0] - a[0]), a[1] + f * (b[1] - a[1]), a[2] + f * (b[2] - a[2])};
}

inline double Distance(const Vec3d& a, const Vec3d& b)
{
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

} // namespace cell::detail
