#pragma once

// What the 3D view's measuring shows: up to three points on shapes
// (station frame, millimetres). Two give a distance and its components,
// three the angle at the middle point between the legs to the other two;
// a fourth point starts a new measurement.

#include "cell/Geometry.h"

#include <QtCore/QString>

#include <optional>
#include <vector>

namespace zrv::core {

class Measurement
{
public:
    static constexpr std::size_t MaxPoints = 3;

    const std::vector<cell::Vec3d>& points() const { return placed; }
    // Adds the point; after three it is the first of a new measurement.
    void add(const cell::Vec3d& point);
    void clear() { placed.clear(); }

    // "Distance 245.3 mm (dx 200.0, dy -141.4, dz 12.0)" for two points,
    // "Angle 90.0° (legs 100.0 mm and 80.6 mm)" for three; for one, where
    // it is; "" for none.
    QString text() const;

    // The angle at b between the legs to a and c, in degrees; nothing when
    // a leg has no length.
    static std::optional<double> AngleAt(const cell::Vec3d& a, const cell::Vec3d& b, const cell::Vec3d& c);
    // A length as shown, to a tenth of a millimetre; never "-0.0".
    static QString Number(double value);

private:
    std::vector<cell::Vec3d> placed;
};

} // namespace zrv::core
