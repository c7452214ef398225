#pragma once

// Small vector and frame helpers that path generation leans on: dot and
// cross products, and a frame from its three axes.

#include "cell/RigidTransform.h"

#include <cmath>

namespace cell::frame {

inline Vec3d Add(const Vec3d& a, const Vec3d& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3d Sub(const Vec3d& a, const Vec3d& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3d Scale(const Vec3d& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline Vec3d Lerp(const Vec3d& a, const Vec3d& b, double f) { return Add(a, Scale(Sub(b, a), f)); }
inline double Dot(const Vec3d& a, const Vec3d& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline double Length(const Vec3d& a) { return std::sqrt(Dot(a, a)); }
inline double Distance(const Vec3d& a, const Vec3d& b) { return Length(Sub(a, b)); }
inline Vec3d Cross(const Vec3d& a, const Vec3d& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The frame whose axes (unit, right-handed, in the reference frame) are x,
// y, z, at origin.
RigidTransform FromAxes(const Vec3d& x, const Vec3d& y, const Vec3d& z, const Vec3d& origin);
// Axis i (0 = X, 1 = Y, 2 = Z) of the frame, in the reference frame.
inline Vec3d AxisOf(const RigidTransform& frame, int i)
{
    Vec3d unit{0, 0, 0};
    unit[static_cast<std::size_t>(i)] = 1;
    return frame.rotate(unit);
}
// A unit vector square to v.
Vec3d AnyPerpendicular(const Vec3d& v);
// Spherical interpolation between the turns of a and b (positions
// interpolated linearly), f from 0 (a) to 1 (b).
RigidTransform Slerp(const RigidTransform& a, const RigidTransform& b, double f);

} // namespace cell::frame
