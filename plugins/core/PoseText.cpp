#include "PoseText.h"

#include <QtCore/QObject>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zrv::core {

QString PoseNumber(double value)
{
    // Angles and positions to a tenth of a thousandth: enough to tell what
    // was typed, short enough to read. -0 reads as 0.
    const double rounded = std::round(value * 1e4) / 1e4;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'g', 12);
}

namespace {

bool IsRotation(const zrv::rob::OrientTemplate<double>& q)
{
    const double norm = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return norm != 0 && std::isfinite(norm);
}

} // namespace

zrv::rob::OrientTemplate<double> FromEuler(const EulerDegrees& angles)
{
    constexpr double halfRadians = std::numbers::pi / 360.0;
    const double cx = std::cos(angles.rx * halfRadians);
    const double sx = std::sin(angles.rx * halfRadians);
    const double cy = std::cos(angles.ry * halfRadians);
    const double sy = std::sin(angles.ry * halfRadians);
    const double cz = std::cos(angles.rz * halfRadians);
    const double sz = std::sin(angles.rz * halfRadians);
    zrv::rob::OrientTemplate<double> q;
    q.w = cx * cy * cz + sx * sy * sz;
    q.x = sx * cy * cz - cx * sy * sz;
    q.y = cx * sy * cz + sx * cy * sz;
    q.z = cx * cy * sz - sx * sy * cz;
    return q;
}

QStringList PoseParts(const zrv::rob::PoseTemplate<double>& pose)
{
    const EulerDegrees angles = ToEuler(pose.orient);
    return {PoseNumber(pose.pos.x), PoseNumber(pose.pos.y), PoseNumber(pose.pos.z),
            PoseNumber(angles.rx),  PoseNumber(angles.ry),  PoseNumber(angles.rz)};
}

EulerDegrees ToEuler(const zrv::rob::OrientTemplate<double>& q)
{
    const double norm = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (norm == 0 || !std::isfinite(norm))
        return {};
    const double w = q.w / norm;
    const double x = q.x / norm;
    const double y = q.y / norm;
    const double z = q.z / norm;
    constexpr double degrees = 180.0 / std::numbers::pi;
    EulerDegrees result;
    result.rx = std::atan2(2 * (w * x + y * z), 1 - 2 * (x * x + y * y)) * degrees;
    result.ry = std::asin(std::clamp(2 * (w * y - z * x), -1.0, 1.0)) * degrees;
    result.rz = std::atan2(2 * (w * z + x * y), 1 - 2 * (y * y + z * z)) * degrees;
    return result;
}

QString OrientText(const zrv::rob::OrientTemplate<double>& orient)
{
    // A zero quaternion has no angles; showing it as "rx 0°" would hide that.
    if (!IsRotation(orient))
        return QObject::tr("no rotation: the quaternion is zero");
    const EulerDegrees angles = ToEuler(orient);
    return QStringLiteral("rx %1°, ry %2°, rz %3°")
        .arg(PoseNumber(angles.rx), PoseNumber(angles.ry), PoseNumber(angles.rz));
}

QString PoseText(const zrv::rob::PoseTemplate<double>& pose)
{
    return QStringLiteral("position %1, %2, %3 · %4")
        .arg(PoseNumber(pose.pos.x), PoseNumber(pose.pos.y), PoseNumber(pose.pos.z), OrientText(pose.orient));
}

QString ExactPoseText(const cell::RigidTransform& pose)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(pose.t[0], 0, 'g', 17)
        .arg(pose.t[1], 0, 'g', 17)
        .arg(pose.t[2], 0, 'g', 17)
        .arg(pose.q[0], 0, 'g', 17)
        .arg(pose.q[1], 0, 'g', 17)
        .arg(pose.q[2], 0, 'g', 17)
        .arg(pose.q[3], 0, 'g', 17);
}

} // namespace zrv::core
