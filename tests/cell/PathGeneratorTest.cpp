// Placing and orienting targets along edges: positions against the curve,
// offsets, angles against frames worked out by hand, each approximation's
// spacing and count, reversed edges, entry and exit, approach and retract.
#include "cell/FrameMath.h"
#include "cell/PathGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using cell::CurvePoint;
using cell::EdgeCurve;
using cell::PathGenerator;
using cell::PathSettings;
using cell::Vec3d;
using Role = PathGenerator::Role;
using Move = PathGenerator::Move;
namespace frame = cell::frame;

constexpr double kDeg = std::numbers::pi / 180;

// A straight edge from a to b with `count` points and an upward normal.
EdgeCurve Line(const Vec3d& a, const Vec3d& b, std::size_t count = 2, bool reversed = false)
{
    EdgeCurve edge;
    for (std::size_t i = 0; i < count; ++i)
        edge.points.push_back({frame::Lerp(a, b, static_cast<double>(i) / static_cast<double>(count - 1)), {0, 0, 1}, {}});
    edge.reversed = reversed;
    return edge;
}

// A quarter circle of radius r about the origin in the XY plane, from +X
// to +Y, one point a degree.
EdgeCurve Quarter(double r)
{
    EdgeCurve edge;
    for (int d = 0; d <= 90; ++d)
        edge.points.push_back({{r * std::cos(d * kDeg), r * std::sin(d * kDeg), 0}, {0, 0, 1}, {}});
    return edge;
}

PathSettings Plain()
{
    PathSettings s;
    s.approachRetract = false;
    s.speed = 1;
    return s;
}

void ExpectNear(const Vec3d& actual, const Vec3d& expected, const std::string& what, double tol = 1e-9)
{
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], tol) << what << " coordinate " << c;
}

TEST(PathGenerator, ConstantSpacingWithNormalAndSideOffsets)
{
    PathSettings s = Plain();
    s.approximation = PathSettings::Approximation::Constant;
    s.targetSpacing = 10;
    s.normalOffset = 2;
    s.sideOffset = 3;
    const auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {95, 0, 0}, 7)});
    // 95 mm in no gap over 10: ten gaps of 9.5, both ends included.
    ASSERT_EQ(poses.size(), 11u);
    for (std::size_t k = 0; k < poses.size(); ++k)
        // Out of the material along +Z, to the right of travel along +X (-Y).
        ExpectNear(poses[k].tool.t, {9.5 * static_cast<double>(k), -3, 2}, "target " + std::to_string(k));
    EXPECT_EQ(poses.front().move, Move::Joint) << "the first move is the initial motion";
    EXPECT_EQ(poses[1].move, Move::Linear);

    s.targetSpacing = 0;
    EXPECT_THROW(
        {
            try {
                PathGenerator(s).generate({Line({0, 0, 0}, {95, 0, 0})});
            } catch (const std::invalid_argument& e) {
                EXPECT_STREQ(e.what(), "target_spacing must be above 0 for Constant approximation");
                throw;
            }
        },
        std::invalid_argument);
}

TEST(PathGenerator, WorkTravelAndSpinAnglesTurnTheToolAsWorkedOutByHand)
{
    PathSettings s = Plain();
    s.start = {30, 20, 10};
    const auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ASSERT_EQ(poses.size(), 2u);
    // Path frame: X = travel (+X), Z = into the material (-Z), Y = Z x X
    // (-Y). Tool = path * Rx(work) * Ry(travel) * Rz(spin).
    const double w = 30 * kDeg, tr = 20 * kDeg, sp = 10 * kDeg;
    const Vec3d z{std::sin(tr), std::sin(w) * std::cos(tr), -std::cos(w) * std::cos(tr)};
    const Vec3d x{std::cos(sp) * std::cos(tr), -(std::sin(sp) * std::cos(w) + std::cos(sp) * std::sin(tr) * std::sin(w)),
                  -(std::sin(sp) * std::sin(w) - std::cos(sp) * std::sin(tr) * std::cos(w))};
    for (const auto& pose : poses) {
        ExpectNear(frame::AxisOf(pose.tool, 2), z, "tool Z");
        ExpectNear(frame::AxisOf(pose.tool, 0), x, "tool X");
    }

    // Blended linearly from start to end: the spin turns a quarter turn.
    s.start = {};
    s.end = {0, 0, 90};
    s.interpolateAngles = true;
    const auto blended = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}, 3)});
    ASSERT_EQ(blended.size(), 2u);
    ExpectNear(frame::AxisOf(blended[0].tool, 0), {1, 0, 0}, "start X on the travel");
    ExpectNear(frame::AxisOf(blended[1].tool, 0), {0, -1, 0}, "end X turned about the tool Z (down)");

    // Other target axes on the movement and the normal: Y along the
    // travel, -Z on the path's normal (Z out of the material).
    s = Plain();
    s.movementAxis = 2;
    s.normalAxis = 5;
    const auto mapped = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ExpectNear(frame::AxisOf(mapped[0].tool, 1), {1, 0, 0}, "Y along travel");
    ExpectNear(frame::AxisOf(mapped[0].tool, 2), {0, 0, 1}, "Z out of the material");
    ExpectNear(frame::AxisOf(mapped[0].tool, 0), {0, -1, 0}, "X completes a right-handed frame");
}

TEST(PathGenerator, SphericalInterpolationBlendsOrKeepsTheNormal)
{
    PathSettings s = Plain();
    s.alignment = PathSettings::Alignment::SphericalInterpolation;
    s.approximation = PathSettings::Approximation::Constant;
    s.targetSpacing = 50;
    s.end = {0, 0, 90};
    s.zRotation = true;
    auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ASSERT_EQ(poses.size(), 3u);
    const double h = std::sqrt(0.5);
    ExpectNear(frame::AxisOf(poses[1].tool, 0), {h, -h, 0}, "halfway: X turned by 45 degrees");

    // Without z rotation X keeps the first target's direction while Z
    // follows the normal, here tilting over a bent edge.
    s.zRotation = false;
    EdgeCurve bent;
    bent.points = {{{0, 0, 0}, {0, 0, 1}, {}}, {{100, 0, 0}, {0, -1, 0}, {}}};
    poses = PathGenerator(s).generate({bent});
    ASSERT_EQ(poses.size(), 3u);
    ExpectNear(frame::AxisOf(poses[2].tool, 2), {0, 1, 0}, "Z against the end normal");
    ExpectNear(frame::AxisOf(poses[2].tool, 0), {1, 0, 0}, "X kept");
}

TEST(PathGenerator, LinearKeepsChordsWithinToleranceAndSplitsLongOnes)
{
    PathSettings s = Plain();
    s.tolerance = 0.5;
    const EdgeCurve arc = Quarter(100);
    const auto poses = PathGenerator(s).generate({arc});
    EXPECT_LT(poses.size(), 30u);
    EXPECT_GT(poses.size(), 5u);
    // Every polyline point is within the tolerance of the chord around it,
    // and every target is on the curve.
    for (const auto& pose : poses)
        EXPECT_NEAR(frame::Length(pose.tool.t), 100, 1e-9);
    std::size_t chord = 0;
    for (const auto& point : arc.points) {
        const double angle = std::atan2(point.position[1], point.position[0]);
        while (chord + 2 < poses.size() && std::atan2(poses[chord + 1].tool.t[1], poses[chord + 1].tool.t[0]) < angle)
            ++chord;
        const Vec3d a = poses[chord].tool.t, b = poses[chord + 1].tool.t;
        const Vec3d ab = frame::Sub(b, a);
        const double f = std::clamp(frame::Dot(frame::Sub(point.position, a), ab) / frame::Dot(ab, ab), 0.0, 1.0);
        EXPECT_LE(frame::Distance(point.position, frame::Add(a, frame::Scale(ab, f))), 0.5 + 1e-9);
    }

    // A straight edge of many points needs two targets; a spacing splits
    // it evenly; neighbours closer than min_distance go.
    s.tolerance = 0;
    EXPECT_EQ(PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}, 101)}).size(), 2u);
    s.targetSpacing = 30;
    const auto split = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}, 101)});
    ASSERT_EQ(split.size(), 5u);
    EXPECT_NEAR(split[1].tool.t[0], 25, 1e-9);
    s.targetSpacing = 0;
    EdgeCurve close;
    close.points = {{{0, 0, 0}, {0, 0, 1}, {}}, {{0.05, 0, 0}, {0, 0, 1}, {}}, {{0.05, 10, 0}, {0, 0, 1}, {}}};
    const auto dropped = PathGenerator(s).generate({close});
    ASSERT_EQ(dropped.size(), 2u);
    ExpectNear(dropped[1].tool.t, {0.05, 10, 0}, "the edge's end stays");
}

TEST(PathGenerator, CircularMovesThroughTheArcsMiddleWithinTheRadiusLimit)
{
    PathSettings s = Plain();
    s.approximation = PathSettings::Approximation::Circular;
    s.tolerance = 0.01;
    EdgeCurve edge = Quarter(50);
    for (int k = 1; k <= 10; ++k) // straight on from the arc's end, along -X
        edge.points.push_back({{-10.0 * k, 50, 0}, {0, 0, 1}, {}});
    const auto poses = PathGenerator(s).generate({edge});
    ASSERT_EQ(poses.size(), 4u);
    EXPECT_EQ(poses[1].move, Move::CircularVia);
    ExpectNear(poses[1].tool.t, {50 * std::cos(45 * kDeg), 50 * std::sin(45 * kDeg), 0}, "via in the arc's middle", 1e-6);
    EXPECT_EQ(poses[2].move, Move::Circular);
    ExpectNear(poses[2].tool.t, {0, 50, 0}, "arc end");
    EXPECT_EQ(poses[3].move, Move::Linear);
    ExpectNear(poses[3].tool.t, {-100, 50, 0}, "line end");

    s.maxRadius = 40; // the arc is too wide: chords instead
    for (const auto& pose : PathGenerator(s).generate({edge}))
        EXPECT_TRUE(pose.move == Move::Linear || pose.move == Move::Joint);
}

TEST(PathGenerator, ReversedEdgesRunBackwardsAndJoinIntoRows)
{
    PathSettings s = Plain();
    const auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}, 2, true)});
    ASSERT_EQ(poses.size(), 2u);
    ExpectNear(poses[0].tool.t, {100, 0, 0}, "starts at the edge's end");
    ExpectNear(frame::AxisOf(poses[0].tool, 0), {-1, 0, 0}, "travel along -X");

    // A second edge that starts where the first ended continues its row.
    const auto joined = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}), Line({100, 0, 0}, {100, 50, 0})});
    ASSERT_EQ(joined.size(), 3u);
    ExpectNear(joined[2].tool.t, {100, 50, 0}, "second edge's end");

    // Apart, they are two rows; Alternating turns the second one's movement
    // axis round.
    s.alternating = true;
    const auto rows = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0}), Line({0, 50, 0}, {100, 50, 0})});
    ASSERT_EQ(rows.size(), 4u);
    ExpectNear(frame::AxisOf(rows[1].tool, 0), {1, 0, 0}, "first row along travel");
    ExpectNear(frame::AxisOf(rows[2].tool, 0), {-1, 0, 0}, "second row against it");
    ExpectNear(frame::AxisOf(rows[2].tool, 2), {0, 0, -1}, "still into the material");
}

TEST(PathGenerator, EntryAndExitLinesAndArcs)
{
    PathSettings s = Plain();
    s.entry = {true, PathSettings::LeadMethod::TangentLine, true, 10, 4, 10, 90};
    s.exit = {true, PathSettings::LeadMethod::PerpendicularLine, false, 20, 0, 10, 90};
    auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ASSERT_EQ(poses.size(), 4u);
    EXPECT_EQ(poses[0].role, Role::Entry);
    ExpectNear(poses[0].tool.t, {-10, 0, 4}, "tangent line behind the start, raised by the height offset");
    EXPECT_EQ(poses[0].tool.q, poses[1].tool.q) << "lead keeps the first target's orientation";
    EXPECT_EQ(poses[3].role, Role::Exit);
    ExpectNear(poses[3].tool.t, {100, 20, 0}, "perpendicular to the left of travel");

    s.entry = {true, PathSettings::LeadMethod::Arc, true, 10, 0, 10, 90};
    s.exit = {true, PathSettings::LeadMethod::LineAndArc, true, 10, 0, 10, 90};
    poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ASSERT_GE(poses.size(), 6u);
    // Arcs of radius 10 on the right (-Y) of travel: centres (0,-10,0) and
    // (100,-10,0); the entry comes in from (-10,-10,0), the exit turns off
    // to (110,-10,0) and runs 10 mm on to the right.
    ExpectNear(poses.front().tool.t, {-10, -10, 0}, "entry arc start");
    for (const auto& pose : poses) {
        if (pose.role == Role::Entry) {
            EXPECT_NEAR(frame::Distance(pose.tool.t, {0, -10, 0}), 10, 1e-9);
        }
    }
    ExpectNear(poses.back().tool.t, {110, -20, 0}, "exit line end");
    ExpectNear(poses[poses.size() - 2].tool.t, {110, -10, 0}, "exit arc end");
}

TEST(PathGenerator, ApproachAndRetractHeightsAndOrder)
{
    PathSettings s = Plain();
    s.approachRetract = true;
    s.approachSpeed = 7;
    const auto poses = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ASSERT_EQ(poses.size(), 8u);
    const Role roles[] = {Role::Clearance, Role::Approach, Role::Feed, Role::Process,
                          Role::Process,   Role::Feed,     Role::Approach, Role::Clearance};
    const double heights[] = {100, 50, 5, 0, 0, 5, 50, 100};
    for (std::size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(poses[k].role, roles[k]) << k;
        EXPECT_NEAR(poses[k].tool.t[2], heights[k], 1e-9) << k;
    }
    EXPECT_EQ(poses[0].move, Move::Joint);
    EXPECT_EQ(poses[0].speed, 1u) << "initial speed 0 means the process speed";
    EXPECT_EQ(poses[1].speed, 7u);
    EXPECT_EQ(poses[5].speed, 1u) << "leaving the feed height at process speed";

    // Two separate rows: only the first gets the way in and only the last
    // the way out, unless every row asks for them.
    const std::vector<EdgeCurve> rows{Line({0, 0, 0}, {100, 0, 0}), Line({0, 50, 0}, {100, 50, 0})};
    EXPECT_EQ(PathGenerator(s).generate(rows).size(), 10u);
    s.beginEndOnly = false;
    EXPECT_EQ(PathGenerator(s).generate(rows).size(), 16u);
    // Backing off along +X of the tool instead of its Z.
    s.retractAxis = 1;
    const auto sideways = PathGenerator(s).generate({Line({0, 0, 0}, {100, 0, 0})});
    ExpectNear(sideways[0].tool.t, {100, 0, 0}, "clearance along the tool's X");
}

} // namespace
