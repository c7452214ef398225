#pragma once

// A pose as a person reads it: the position, and the orientation as Euler
// angles in degrees (rotations about the fixed x, y and z axes, applied in
// that order: rz · ry · rx), besides the stored quaternion.

#include "cell/RigidTransform.h"

#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>

#include <QtCore/QString>
#include <QtCore/QStringList>

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
// The unit quaternion of the angles.
zrv::rob::OrientTemplate<double> FromEuler(const EulerDegrees& angles);

// A position or angle as shown: to a tenth of a thousandth.
QString PoseNumber(double value);
// x, y, z, rx, ry, rz as shown in a pose's own fields.
QStringList PoseParts(const zrv::rob::PoseTemplate<double>& pose);

// "position 100, 0, 50 · rx 0°, ry 0°, rz 90°"; a zero quaternion is said
// to be one.
QString PoseText(const zrv::rob::PoseTemplate<double>& pose);
QString OrientText(const zrv::rob::OrientTemplate<double>& orient);

// The text a pose field stores for a transform, "x y z qw qx qy qz" with
// every digit a double keeps, so that writing it back changes nothing.
QString ExactPoseText(const cell::RigidTransform& pose);

} // namespace zrv::core
