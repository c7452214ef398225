#include "Measurement.h"

#include "cell/FrameMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zrv::core {

using namespace cell::frame;

void Measurement::add(const cell::Vec3d& point)
{
    if (placed.size() >= MaxPoints)
        placed.clear();
    placed.push_back(point);
}

QString Measurement::Number(double value)
{
    // A value that rounds to zero shows without a sign.
    const double rounded = std::round(value * 10) / 10;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'f', 1);
}

std::optional<double> Measurement::AngleAt(const cell::Vec3d& a, const cell::Vec3d& b, const cell::Vec3d& c)
{
    const cell::Vec3d u = Sub(a, b);
    const cell::Vec3d v = Sub(c, b);
    const double lengths = Length(u) * Length(v);
    if (!(lengths > 1e-12))
        return std::nullopt;
    // atan2 of the cross and dot products stays exact near 0° and 180°,
    // where acos of their ratio loses digits.
    return std::atan2(Length(Cross(u, v)), Dot(u, v)) * 180 / std::numbers::pi;
}

QString Measurement::text() const
{
    switch (placed.size()) {
    case 1:
        return QStringLiteral("Point at (%1, %2, %3) mm")
            .arg(Number(placed[0][0]), Number(placed[0][1]), Number(placed[0][2]));
    case 2: {
        const cell::Vec3d d = Sub(placed[1], placed[0]);
        return QStringLiteral("Distance %1 mm (dx %2, dy %3, dz %4)")
            .arg(Number(Length(d)), Number(d[0]), Number(d[1]), Number(d[2]));
    }
    case 3: {
        const auto angle = AngleAt(placed[0], placed[1], placed[2]);
        const QString first = Number(Distance(placed[0], placed[1]));
        const QString second = Number(Distance(placed[2], placed[1]));
        if (!angle)
            return QStringLiteral("No angle: a leg has no length (legs %1 mm and %2 mm)").arg(first, second);
        return QStringLiteral("Angle %1° (legs %2 mm and %3 mm)").arg(Number(*angle), first, second);
    }
    default:
        return {};
    }
}

} // namespace zrv::core
