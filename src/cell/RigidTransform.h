#pragma once

// A rigid motion (a turn followed by a shift) in the station's units,
// millimetres and radians. Poses of the document read as such: a pose
// "x y z w qx qy qz" places a frame at (x, y, z) in its reference frame,
// turned by the unit quaternion (w, qx, qy, qz). `a * b` is b expressed in
// a's frame: first b, then a.

#include "cell/Export.h"

#include <sdformat/PoseTemplate.h>

#include <array>

namespace cell {

using Vec3d = std::array<double, 3>;

struct ZRV_CELL_EXPORT RigidTransform
{
    std::array<double, 4> q{1, 0, 0, 0}; // w x y z, unit length
    Vec3d t{0, 0, 0};

    // A quaternion that is not of unit length is normalised; one of zero
    // length (or not finite) turns nothing, rather than scaling the frame or
    // spreading NaN through everything placed in it.
    static RigidTransform FromPose(const zrv::rob::PoseTemplate<double>& pose);
    static RigidTransform FromParts(const Vec3d& position, const std::array<double, 4>& quaternion);
    // Turn by angle (radians) about the unit axis through the origin.
    static RigidTransform Rotation(const Vec3d& axis, double angle);
    static RigidTransform Translation(const Vec3d& shift);

    RigidTransform operator*(const RigidTransform& other) const;
    RigidTransform inverse() const;
    Vec3d apply(const Vec3d& point) const;
    Vec3d rotate(const Vec3d& vector) const;
};

// Unit vector of v, or fallback when v is (nearly) zero or not finite.
ZRV_CELL_EXPORT Vec3d Normalised(const Vec3d& v, const Vec3d& fallback);

} // namespace cell
