#pragma once

// A pose as a person reads it: the position, and the orientation as Euler
// angles in degrees (rotations about the fixed x, y and z axes, applied in
// that order: rz · ry · rx), besides the stored quaternion.

#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>

#include <QtCore/QString>

namespace zrv::core {

struct EulerDegrees
{
    double rx = 0;
    double ry = 0;
    double rz = 0;
};

// The angles of the quaternion, normalised first; all zero for a zero
// quaternion.
EulerDegrees ToEuler(const zrv::rob::OrientTemplate<double>& orient);

// "position 100, 0, 50 · rx 0°, ry 0°, rz 90°".
QString PoseText(const zrv::rob::PoseTemplate<double>& pose);
QString OrientText(const zrv::rob::OrientTemplate<double>& orient);

} // namespace zrv::core
