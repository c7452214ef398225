#include "cell/RigidTransform.h"

#include <cmath>

namespace cell {

namespace {

using Quat = std::array<double, 4>;

Quat Multiply(const Quat& a, const Quat& b)
{
    return {a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
            a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
            a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
            a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0]};
}

Quat Unit(const Quat& q)
{
    const double n = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!std::isfinite(n) || n < 1e-12)
        return {1, 0, 0, 0};
    return {q[0] / n, q[1] / n, q[2] / n, q[3] / n};
}

Vec3d Finite(const Vec3d& v)
{
    Vec3d out = v;
    for (double& c : out) {
        if (!std::isfinite(c))
            c = 0;
    }
    return out;
}

} // namespace

Vec3d Normalised(const Vec3d& v, const Vec3d& fallback)
{
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!std::isfinite(n) || n < 1e-12)
        return fallback;
    return {v[0] / n, v[1] / n, v[2] / n};
}

RigidTransform RigidTransform::FromParts(const Vec3d& position, const std::array<double, 4>& quaternion)
{
    return {Unit(quaternion), Finite(position)};
}

RigidTransform RigidTransform::FromPose(const zrv::rob::PoseTemplate<double>& pose)
{
    return FromParts({pose.pos.x, pose.pos.y, pose.pos.z}, {pose.orient.w, pose.orient.x, pose.orient.y, pose.orient.z});
}

RigidTransform RigidTransform::Rotation(const Vec3d& axis, double angle)
{
    if (!std::isfinite(angle))
        angle = 0;
    const Vec3d a = Normalised(axis, {0, 0, 1});
    const double s = std::sin(angle / 2);
    return {{std::cos(angle / 2), a[0] * s, a[1] * s, a[2] * s}, {0, 0, 0}};
}

RigidTransform RigidTransform::Translation(const Vec3d& shift)
{
    return {{1, 0, 0, 0}, Finite(shift)};
}

Vec3d RigidTransform::rotate(const Vec3d& v) const
{
    const Quat p = Multiply(Multiply(q, {0, v[0], v[1], v[2]}), {q[0], -q[1], -q[2], -q[3]});
    return {p[1], p[2], p[3]};
}

Vec3d RigidTransform::apply(const Vec3d& point) const
{
    const Vec3d r = rotate(point);
    return {r[0] + t[0], r[1] + t[1], r[2] + t[2]};
}

RigidTransform RigidTransform::operator*(const RigidTransform& other) const
{
    // Renormalised so that long chains do not drift away from unit length.
    return {Unit(Multiply(q, other.q)), apply(other.t)};
}

RigidTransform RigidTransform::inverse() const
{
    RigidTransform inv{{q[0], -q[1], -q[2], -q[3]}, {0, 0, 0}};
    const Vec3d r = inv.rotate(t);
    inv.t = {-r[0], -r[1], -r[2]};
    return inv;
}

} // namespace cell
