// Runs of small programs whose times, collisions and limit events are known
// by hand (the motion model is stated in MotionSimulation.h).
#include "SimulationStation.h"

#include "cell/CellKinematics.h"
#include "cell/MotionSimulation.h"

#include <sdformat/Element.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using cell::MotionSimulation;
using cell::MotionTimeline;
using cell::SimulationEvent;
using cell::SimulationOptions;
using namespace cell::test;

class Simulation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              fmt::format("zrv_sim_{}_{}", ::testing::UnitTest::GetInstance()->current_test_info()->name(), ::getpid());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    MotionTimeline run(const CellSpec& spec, const SimulationOptions& options = {})
    {
        document = sdf::SDF::ReadSdfFromString(StationText(dir, spec));
        return MotionSimulation(document->Root(), dir, options).run();
    }

    static const MotionTimeline::Span& SpanOf(const MotionTimeline& timeline, std::uint32_t instruction)
    {
        const auto& spans = timeline.spans();
        const auto found = std::find_if(spans.begin(), spans.end(),
                                        [&](const auto& s) { return s.instruction == instruction; });
        EXPECT_NE(found, spans.end()) << "no span for instruction " << instruction;
        return *found;
    }

    static std::vector<SimulationEvent> Events(const MotionTimeline& timeline, SimulationEvent::Kind kind)
    {
        std::vector<SimulationEvent> out;
        for (const auto& e : timeline.events())
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }

    // The tool centre point (world) at a time.
    cell::Vec3d tcpAt(const MotionTimeline& timeline, double time) const
    {
        return TcpAt(cell::CellKinematics(document->Root()), timeline, time);
    }
    static cell::Vec3d TcpAt(const cell::CellKinematics& kinematics, const MotionTimeline& timeline, double time)
    {
        const auto& robot = kinematics.robot("Arm")->robot();
        const auto joints = timeline.jointsAt(0, time);
        return (robot.base() * robot.flange(joints) * cell::RigidTransform::Translation({0, 0, 200})).t;
    }

    std::filesystem::path dir;
    std::shared_ptr<sdf::SDF> document;
};

const std::string kToStart = Move(60, "Movej", Down(800, 0, 600));
constexpr double kRamp = 0.1; // SimulationOptions' default

TEST_F(Simulation, StraightMoveTakesItsLengthAtItsSpeedPlusHalfARampAtEachStop)
{
    CellSpec spec;
    spec.plateZ = -500; // out of the way
    spec.instructions = kToStart + Move(70, "Movel", Down(800, 0, 300));
    const MotionTimeline timeline = run(spec);
    const auto& span = SpanOf(timeline, 70);
    // 300 mm at 100 mm/s from a stop to a stop.
    EXPECT_NEAR(span.end - span.start, 3.0 + kRamp, 1e-9);
    const cell::Vec3d end = tcpAt(timeline, span.end);
    EXPECT_NEAR(end[0], 800, 0.01);
    EXPECT_NEAR(end[1], 0, 0.01);
    EXPECT_NEAR(end[2], 300, 0.01);
    // Halfway in time, halfway down (the ramps are symmetric).
    EXPECT_NEAR(tcpAt(timeline, (span.start + span.end) / 2)[2], 450, 0.5);
    EXPECT_FALSE(timeline.fails());
    ASSERT_EQ(timeline.paths().size(), 1u);
    EXPECT_NEAR(timeline.paths()[0].cycleTime(), span.end, 1e-9);
}

TEST_F(Simulation, JointMoveLastsAsLongAsItsSlowestJointNeeds)
{
    // A quarter turn of axis 1 alone, at speeds the tool centre point never
    // limits: 90 degrees at the joint speed limit.
    CellSpec spec;
    spec.plateZ = -500;
    spec.instructions = kToStart + Move(70, "Movej", "0 800 600 0 -0.7071067811865476 0.7071067811865476 0 "
                                                     "1 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9", "vJoint");
    const MotionTimeline slow = run(spec);
    const auto& span = SpanOf(slow, 70);
    EXPECT_NEAR(span.end - span.start, 0.5 + kRamp, 1e-9);
    // Between samples the joints are interpolated: within a thousandth of a
    // radian of the move's own ends.
    const auto before = slow.jointsAt(0, span.start);
    const auto after = slow.jointsAt(0, span.end);
    EXPECT_NEAR(after[0] - before[0], std::numbers::pi / 2, 1e-3);
    for (std::size_t j = 1; j < 6; ++j)
        EXPECT_NEAR(after[j], before[j], 1e-3) << "joint " << j + 1;

    SimulationOptions faster;
    faster.revoluteSpeed = 2 * std::numbers::pi;
    const MotionTimeline fast = run(spec, faster);
    const auto& quick = SpanOf(fast, 70);
    EXPECT_NEAR(quick.end - quick.start, 0.25 + kRamp, 1e-9);
}

TEST_F(Simulation, ZoneCutsTheCornerAndSavesTheStop)
{
    const auto path = [&](const std::string& move, const std::string& zone) {
        CellSpec spec;
        spec.plateZ = -500;
        spec.instructions = Move(60, "Movej", Down(800, -200, 600)) +
                            Move(70, move, Down(800, 200, 600), "vSlow", zone) +
                            Move(80, move, Down(800, 200, 300));
        return run(spec);
    };
    // How near the tool centre point comes to the corner.
    const auto nearest = [&](const MotionTimeline& timeline) {
        const cell::CellKinematics kinematics(document->Root());
        double best = 1e9;
        for (std::size_t k = 0; k < timeline.sampleCount(); ++k) {
            const cell::Vec3d p = TcpAt(kinematics, timeline, static_cast<double>(k) * timeline.sampleTime());
            best = std::min(best, std::hypot(p[0] - 800, p[1] - 200, p[2] - 600));
        }
        return best;
    };
    for (const std::string move : {"Movel", "Movej"}) {
        SCOPED_TRACE(move);
        const MotionTimeline fine = path(move, "zFine");
        const MotionTimeline zone = path(move, "z50");
        document = sdf::SDF::ReadSdfFromString(StationText(dir, {}));
        EXPECT_LT(nearest(fine), 0.5);
        if (move == "Movel") {
            // No nearer than the parabola's middle: a quarter of the 50 mm
            // legs' diagonal off, about 17.7 mm.
            EXPECT_NEAR(nearest(zone), 50 * std::sqrt(2.0) / 4, 1.0);
        } else {
            // In joint space the tool's way round the corner is no straight
            // line, but it stays well clear of the corner and within the zone.
            EXPECT_GT(nearest(zone), 5);
            EXPECT_LT(nearest(zone), 50);
        }
        // No stop: a whole ramp saved; the shorter way: at most 2 x 50 mm less.
        const double saved = fine.paths()[0].cycleTime() - zone.paths()[0].cycleTime();
        EXPECT_GT(saved, kRamp + 0.05);
        EXPECT_LT(saved, kRamp + 1.0);
        EXPECT_FALSE(zone.fails());
    }
}

TEST_F(Simulation, ToolDrivenThroughThePlateCollidesInThatMoveAndNotWhenLifted)
{
    CellSpec spec;
    spec.instructions = kToStart + Move(70, "Movel", Down(800, 0, 300));
    const MotionTimeline through = run(spec);
    const auto collisions = Events(through, SimulationEvent::Kind::Collision);
    const auto rod = std::find_if(collisions.begin(), collisions.end(), [](const auto& e) { return e.objectA == 31; });
    ASSERT_NE(rod, collisions.end());
    EXPECT_EQ(rod->objectB, 5u);
    EXPECT_EQ(rod->instruction, 70u);
    EXPECT_EQ(rod->collisionSet, 8u);
    EXPECT_GT(rod->distance, 0);
    // First touch: the rod's tip (the tool centre point) at the plate's
    // top, within the 2 mm the checks may move apart.
    EXPECT_NEAR(tcpAt(through, rod->time)[2], 404, 2.5);
    // The rod stays in the plate until the move ends there.
    EXPECT_NEAR(rod->endTime, SpanOf(through, 70).end, through.sampleTime());
    const auto atEnd = through.collisionsAt(rod->endTime);
    EXPECT_NE(std::find(atEnd.begin(), atEnd.end(), std::make_pair(31u, 5u)), atEnd.end());
    EXPECT_TRUE(through.collisionsAt(rod->time - 0.01).empty());
    EXPECT_TRUE(through.fails());

    spec.plateZ = 200; // the tip stops 96 mm above it
    const MotionTimeline lifted = run(spec);
    EXPECT_TRUE(Events(lifted, SimulationEvent::Kind::Collision).empty());
    EXPECT_FALSE(lifted.fails());

    // A part's every body collides, not only its first: the plate as a
    // second body is met by the rod in the same move.
    spec.plateZ = 400;
    spec.plateSecond = true;
    const auto second = Events(run(spec), SimulationEvent::Kind::Collision);
    EXPECT_NE(std::find_if(second.begin(), second.end(),
                           [](const auto& e) { return e.objectA == 31 && e.objectB == 9 && e.instruction == 70; }),
              second.end());
}

TEST_F(Simulation, NearMissOnlyWithinTheSetsDistance)
{
    CellSpec spec;
    spec.plateZ = 280; // the tip stops 16 mm above the plate's top
    spec.instructions = kToStart + Move(70, "Movel", Down(800, 0, 300));
    spec.nearMiss = 20;
    const MotionTimeline inside = run(spec);
    const auto misses = Events(inside, SimulationEvent::Kind::NearMiss);
    ASSERT_EQ(misses.size(), 1u);
    EXPECT_EQ(misses[0].objectA, 31u);
    EXPECT_EQ(misses[0].instruction, 70u);
    EXPECT_NEAR(misses[0].distance, 16, 0.01);
    EXPECT_TRUE(Events(inside, SimulationEvent::Kind::Collision).empty());
    EXPECT_FALSE(inside.fails());

    spec.nearMiss = 10;
    EXPECT_TRUE(Events(run(spec), SimulationEvent::Kind::NearMiss).empty());
}

TEST_F(Simulation, TargetsBeyondAJointLimitAreReportedAtTheirInstruction)
{
    // Axis 1 may turn 45 degrees either way; both targets lie at 90.
    CellSpec spec;
    spec.plateZ = -500;
    spec.joint1Limit = 45;
    const std::string side = "0 800 600 0 -0.7071067811865476 0.7071067811865476 0 1 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9";
    spec.instructions = kToStart + Move(70, "Movej", side) + Move(80, "Movel", side);
    const MotionTimeline timeline = run(spec);
    const auto limits = Events(timeline, SimulationEvent::Kind::JointLimit);
    ASSERT_EQ(limits.size(), 2u);
    EXPECT_EQ(limits[0].instruction, 70u);
    EXPECT_EQ(limits[1].instruction, 80u);
    // The joint move is skipped; the straight one stops at the limit.
    EXPECT_NEAR(SpanOf(timeline, 70).end, SpanOf(timeline, 70).start, 1e-12);
    EXPECT_NEAR(timeline.jointsAt(0, limits[1].time)[0], std::numbers::pi / 4, 0.01);
    EXPECT_TRUE(timeline.fails());
}

TEST_F(Simulation, StraightMoveEndingInAnotherConfigurationThanItsTargetNamesIsReported)
{
    // Both lines end straight below; the second target names axis 6 in its
    // second quadrant, which a line from the first cannot end in.
    CellSpec spec;
    spec.plateZ = -500;
    const std::string turned = "800 0 200 0 0 1 0 0 0 1 0 9e9 9e9 9e9 9e9 9e9 9e9";
    spec.instructions = Move(60, "Movej", Down(800, 0, 600)) + Move(70, "Movel", Down(800, 0, 300)) +
                        Move(80, "Movel", turned);
    SimulationOptions motionOnly;
    motionOnly.collisions = false;
    const MotionTimeline timeline = run(spec, motionOnly);
    const auto changes = Events(timeline, SimulationEvent::Kind::ConfigurationChange);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].instruction, 80u);
    EXPECT_EQ(changes[0].message,
              "the line of instruction 80 ends in configuration [0, 0, 0, 0], its target names [0, 0, 1, 0]");
    EXPECT_NEAR(changes[0].time, SpanOf(timeline, 80).end, 0.01);
    // Reported, not refused: the program still runs to its end.
    EXPECT_FALSE(timeline.fails());
}

TEST_F(Simulation, LineOverTheBaseMeetsTheShoulderSingularityAndItsEvents)
{
    // The wrist centre passes 5 mm beside axis 1: axis 1 would have to turn
    // half a turn within a few millimetres of the line.
    CellSpec spec;
    spec.plateZ = -500;
    spec.instructions = Move(60, "Movej", Down(400, 5, 600)) + Move(70, "Movel", Down(-400, 5, 600));
    SimulationOptions motionOnly;
    motionOnly.collisions = false;
    const MotionTimeline timeline = run(spec, motionOnly);
    const auto& span = SpanOf(timeline, 70);
    for (const auto kind : {SimulationEvent::Kind::Singularity, SimulationEvent::Kind::SpeedLimit}) {
        const auto found = Events(timeline, kind);
        ASSERT_EQ(found.size(), 1u) << SimulationEvent::Name(kind);
        EXPECT_EQ(found[0].instruction, 70u);
        // Near the middle of the line, where it passes the axis.
        EXPECT_NEAR(tcpAt(timeline, found[0].time)[0], 0, 40) << SimulationEvent::Name(kind);
        EXPECT_GT(found[0].time, span.start);
    }
    EXPECT_TRUE(timeline.fails());
}

} // namespace
