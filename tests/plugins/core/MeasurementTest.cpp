// What the 3D view's measuring says of the points placed: the distance and
// its components, the angle at the middle point, a fourth point starting
// anew, and no angle (rather than a made-up one) where a leg has no length.
#include "Measurement.h"

#include <gtest/gtest.h>

namespace {

using zrv::core::Measurement;

TEST(Measurement, DistanceThenAngleThenANewStart)
{
    Measurement m;
    EXPECT_EQ(m.text(), QString());
    m.add({950, 200, 770});
    EXPECT_EQ(m.text(), QStringLiteral("Point at (950.0, 200.0, 770.0) mm"));
    // A component that rounds to zero shows without a sign.
    m.add({850, 199.97, 782.04});
    EXPECT_EQ(m.text(), QStringLiteral("Distance 100.7 mm (dx -100.0, dy 0.0, dz 12.0)"));
    m.add({850, 270, 810});
    // The legs (100, 0.03, -12.04) and (0, 70.03, 27.96): a dot product of
    // -334.5, not 0, so 2.5° over a right angle.
    EXPECT_EQ(m.text(), QStringLiteral("Angle 92.5° (legs 100.7 mm and 75.4 mm)"));
    m.add({0, 0, 0});
    EXPECT_EQ(m.points().size(), 1u);
    EXPECT_EQ(m.text(), QStringLiteral("Point at (0.0, 0.0, 0.0) mm"));
}

TEST(Measurement, AnglesNearTheEndsOfTheirRangeAndWithoutALeg)
{
    // A billionth of a radian off straight on and straight back, which
    // acos of the cosine (1 to double precision) would call 0° and 180°.
    const double tiny = 1e-9 * 180 / 3.14159265358979323846;
    EXPECT_NEAR(*Measurement::AngleAt({1, 0, 0}, {0, 0, 0}, {1e6, 1e-3, 0}), tiny, 1e-15);
    EXPECT_NEAR(*Measurement::AngleAt({-1, 0, 0}, {0, 0, 0}, {1e6, 1e-3, 0}), 180 - tiny, 1e-12);
    EXPECT_FALSE(Measurement::AngleAt({1, 2, 3}, {1, 2, 3}, {4, 5, 6}));
    Measurement m;
    m.add({0, 0, 0});
    m.add({10, 0, 0});
    m.add({10, 0, 0});
    EXPECT_EQ(m.text(), QStringLiteral("No angle: a leg has no length (legs 10.0 mm and 0.0 mm)"));
}

} // namespace
