#include "PoseText.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zrv::core {

namespace {

QString Number(double value)
{
    // Angles and positions to a tenth of a thousandth: enough to tell what
    // was typed, short enough to read. -0 reads as 0.
    const double rounded = std::round(value * 1e4) / 1e4;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'g', 12);
}

} // namespace

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
    const EulerDegrees angles = ToEuler(orient);
    return QStringLiteral("rx %1°, ry %2°, rz %3°").arg(Number(angles.rx), Number(angles.ry), Number(angles.rz));
}

QString PoseText(const zrv::rob::PoseTemplate<double>& pose)
{
    return QStringLiteral("position %1, %2, %3 · %4")
        .arg(Number(pose.pos.x), Number(pose.pos.y), Number(pose.pos.z), OrientText(pose.orient));
}

} // namespace zrv::core
