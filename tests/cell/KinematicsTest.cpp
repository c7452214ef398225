// Robots read from their elements: forward kinematics against KDL's own
// chain, round trips through both inverse solvers, limits, turns,
// singularities and configurations.
#include "cell/ArmConfiguration.h"
#include "cell/CellLayout.h"
#include "cell/InverseKinematics.h"
#include "cell/RobotModel.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <kdl/chain.hpp>
#include <kdl/chainfksolverpos_recursive.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>

namespace {

using cell::InverseKinematics;
using cell::ReachStatus;
using cell::RigidTransform;
using cell::RobotModel;

constexpr double kPi = std::numbers::pi;

std::vector<std::shared_ptr<sdf::Element>> GeneratedRobots(const std::shared_ptr<sdf::Element>& root)
{
    std::vector<std::shared_ptr<sdf::Element>> robots;
    for (const auto& robot : root->get("station")->children("manipulator"))
        robots.push_back(robot);
    return robots;
}

// Six robots: every model the generator has.
const std::shared_ptr<sdf::Element>& Generated()
{
    static const auto root = [] {
        sdf::testing::GeneratorOptions options;
        options.robots = 6;
        return sdf::testing::GenerateStation(options);
    }();
    return root;
}

std::vector<double> RandomWithin(const RobotModel& robot, std::mt19937& random)
{
    std::vector<double> values;
    for (const auto& joint : robot.joints()) {
        const double lo = std::max(joint.lower, -2 * kPi), hi = std::min(joint.upper, 2 * kPi);
        values.push_back(std::uniform_real_distribution<double>(lo, hi)(random));
    }
    return values;
}

double Miss(const RigidTransform& a, const RigidTransform& b)
{
    const RigidTransform d = a.inverse() * b;
    const double turn = 2 * std::atan2(std::hypot(d.q[1], d.q[2], d.q[3]), std::abs(d.q[0]));
    return std::max(std::hypot(d.t[0], d.t[1], d.t[2]), turn * 1000);
}

KDL::Frame Kdl(const RigidTransform& t)
{
    return KDL::Frame(KDL::Rotation::Quaternion(t.q[1], t.q[2], t.q[3], t.q[0]), KDL::Vector(t.t[0], t.t[1], t.t[2]));
}

// KDL's chain built link by link from the document: each joint in its
// parent link's frame, each link's pose as the segment's tip.
KDL::Chain ChainOf(const sdf::Element& mechanism)
{
    std::vector<std::shared_ptr<sdf::Element>> links, joints;
    for (const auto& e : mechanism.elements()) {
        if (e->label() == "link")
            links.push_back(e);
        if (e->label() == "joint")
            joints.push_back(e);
    }
    const auto pose = [](const sdf::Element& e) {
        return RigidTransform::FromPose(e.valueOr<zrv::rob::PoseTemplate<double>>("pose", {}));
    };
    KDL::Chain chain;
    RigidTransform parentAtZero = pose(*links[0]);
    chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed), Kdl(parentAtZero)));
    for (std::size_t i = 1; i < links.size(); ++i) {
        const RigidTransform step = pose(*links[i]);
        const RigidTransform jointInParent = step * pose(*joints[i - 1]);
        const auto xyz = joints[i - 1]->valueOr<zrv::rob::Vec3Template<double>>("axis/xyz", {});
        const cell::Vec3d axis = parentAtZero.inverse().rotate({xyz.x, xyz.y, xyz.z});
        chain.addSegment(KDL::Segment(KDL::Joint(KDL::Vector(jointInParent.t[0], jointInParent.t[1], jointInParent.t[2]),
                                                 KDL::Vector(axis[0], axis[1], axis[2]), KDL::Joint::RotAxis),
                                      Kdl(step)));
        parentAtZero = parentAtZero * step;
    }
    chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed), Kdl(pose(*mechanism.get("wrist")))));
    return chain;
}

TEST(RobotKinematics, ForwardKinematicsAgreesWithKdlsChainAndTheCellLayout)
{
    std::mt19937 random(7);
    const auto root = Generated();
    const cell::CellLayout layout(root, {});
    for (const auto& element : GeneratedRobots(root)) {
        const RobotModel robot = RobotModel::FromMechanism(*element);
        ASSERT_EQ(robot.dof(), 6U);
        const KDL::Chain chain = ChainOf(*element); // the solver keeps a reference
        KDL::ChainFkSolverPos_recursive kdl(chain);
        for (int i = 0; i < 50; ++i) {
            const std::vector<double> q = RandomWithin(robot, random);
            // KDL knows nothing of couplings: feed it the motion values.
            const std::vector<double> m = robot.motion(q);
            KDL::JntArray joints(6);
            for (unsigned k = 0; k < 6; ++k)
                joints(k) = m[k];
            KDL::Frame frame;
            ASSERT_GE(kdl.JntToCart(joints, frame), 0);
            double x, y, z, w;
            frame.M.GetQuaternion(x, y, z, w);
            EXPECT_LT(Miss(robot.flange(q), RigidTransform::FromParts({frame.p.x(), frame.p.y(), frame.p.z()}, {w, x, y, z})),
                      1e-6)
                << robot.name();
        }
        // The view places the links where the model does, at the document's values.
        RobotModel placed = robot;
        placed.setBase(*layout.worldOf(robot.id()));
        const auto links = placed.links(robot.currentValues());
        std::size_t i = 0;
        for (const auto& link : element->children("link")) {
            const RigidTransform world = placed.base() * links[i++];
            EXPECT_LT(Miss(world, *layout.worldOf(link->getId())), 1e-6) << robot.name() << " link " << i;
        }
    }
}

TEST(RobotKinematics, ClosedFormFindsEveryGeneratedArmsOwnJointsAmongItsSolutions)
{
    std::mt19937 random(11);
    for (const auto& element : GeneratedRobots(Generated())) {
        const InverseKinematics ik(RobotModel::FromMechanism(*element));
        ASSERT_TRUE(ik.closedForm()) << ik.numericReason();
        const RobotModel& robot = ik.robot();
        for (int i = 0; i < 300; ++i) {
            const std::vector<double> q = RandomWithin(robot, random);
            const auto result = ik.solve(robot.flange(q), robot.home());
            ASSERT_FALSE(result.solutions.empty());
            bool found = false;
            for (const auto& s : result.solutions) {
                EXPECT_LT(Miss(robot.flange(s.joints), robot.flange(q)), 1e-6);
                EXPECT_TRUE(robot.withinLimits(s.joints));
                double apart = 0;
                for (std::size_t k = 0; k < 6; ++k)
                    apart = std::max(apart, std::abs(s.joints[k] - q[k]));
                found = found || apart < 1e-6;
            }
            EXPECT_TRUE(found) << robot.name() << " sample " << i;
        }
    }
}

// The first generated arm with its axis 6 moved 30 mm sideways: the wrist
// no longer meets in one point.
RobotModel BrokenWrist()
{
    const auto root = sdf::testing::GenerateStation({});
    const auto element = GeneratedRobots(root).front();
    std::vector<std::shared_ptr<sdf::Element>> joints;
    for (const auto& joint : element->children("joint"))
        joints.push_back(joint);
    joints[5]->set<zrv::rob::PoseTemplate<double>>("pose", {{0, 30, 0}, {}});
    return RobotModel::FromMechanism(*element);
}

TEST(RobotKinematics, NumericalSolverCoversAChainTheClosedFormRejects)
{
    const InverseKinematics ik(BrokenWrist());
    ASSERT_FALSE(ik.closedForm());
    EXPECT_EQ(ik.numericReason(), "axis 6 misses the point where axes 4 and 5 meet");
    const RobotModel& robot = ik.robot();
    std::mt19937 random(3);
    for (int i = 0; i < 40; ++i) {
        const std::vector<double> q = RandomWithin(robot, random);
        const auto result = ik.reach(robot.flange(q), std::nullopt, robot.home());
        ASSERT_FALSE(result.solutions.empty()) << "sample " << i;
        EXPECT_LT(Miss(robot.flange(result.solutions.front().joints), robot.flange(q)), 1e-3);
        EXPECT_TRUE(robot.withinLimits(result.solutions.front().joints));
    }
}

// An arm of 1.45 m reach whose axis 6 turns two full turns and axis 2
// only from -60 to 130 degrees.
std::string Arm(const std::string& extra = "")
{
    std::string text = "<sdf version='1.0'><station id='1'><manipulator id='2'><name>Arm</name>";
    const double links[7][3] = {{0, 0, 0}, {0, 0, 486.5}, {150, 0, 0}, {0, 0, 700}, {314, 0, 0}, {286, 0, 0}, {65, 0, 0}};
    const char* axes[6] = {"0 0 1", "0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"};
    const int limits[6][2] = {{-180, 180}, {-60, 130}, {-235, 55}, {-200, 200}, {-115, 115}, {-360, 360}};
    for (int i = 0; i < 7; ++i)
        text += "<link id='" + std::to_string(10 + i) + "'><pose>" + std::to_string(links[i][0]) + " 0 " +
                std::to_string(links[i][2]) + " 1 0 0 0</pose></link>";
    for (int i = 0; i < 6; ++i)
        text += "<joint id='" + std::to_string(20 + i) + "'><index>" + std::to_string(i + 1) + "</index><axis><xyz>" +
                axes[i] + "</xyz><limit><lower>" + std::to_string(limits[i][0]) + "</lower><upper>" +
                std::to_string(limits[i][1]) + "</upper></limit></axis></joint>";
    text += extra + "<wrist id='30'><parent>16</parent><pose>0 0 0 0.7071067811865476 0 0.7071067811865476 0</pose>"
                    "</wrist></manipulator></station></sdf>";
    return text;
}

InverseKinematics ArmSolver(const std::string& extra = "")
{
    const auto document = sdf::SDF::ReadSdfFromString(Arm(extra));
    return InverseKinematics(RobotModel::FromMechanism(*document->Root()->get("station")->get("manipulator")));
}

TEST(RobotKinematics, LimitsTurnsAndReachDecideTheStatus)
{
    const InverseKinematics ik = ArmSolver();
    const RobotModel& robot = ik.robot();
    ASSERT_TRUE(ik.closedForm());
    EXPECT_DOUBLE_EQ(robot.joints()[1].lower, -60 * kPi / 180);

    // Axis 6 at 0.5 rad: itself and one turn down fit +-360 degrees, a turn up does not.
    const std::vector<double> q{0.3, 0.2, -0.4, 0.6, 0.8, 0.5};
    const auto all = ik.solve(robot.flange(q), q);
    int sameArm = 0;
    for (const auto& s : all.solutions) {
        if (std::abs(s.joints[0] - q[0]) < 1e-9 && std::abs(s.joints[4] - q[4]) < 1e-9) {
            ++sameArm;
            EXPECT_TRUE(std::abs(s.joints[5] - 0.5) < 1e-9 || std::abs(s.joints[5] - (0.5 - 2 * kPi)) < 1e-9);
        }
    }
    EXPECT_EQ(sameArm, 2);
    // The nearest to the current joints comes first.
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(all.solutions.front().joints[k], q[k], 1e-9);

    // Far away: nothing gives the pose.
    RigidTransform far = robot.flange(q);
    far.t[0] += 5000;
    EXPECT_EQ(ik.solve(far, q).status, ReachStatus::OutOfReach);

    // Reaching behind the base with axis 2 leaning back beyond -60 degrees:
    // the arm could, its limits forbid it.
    const std::vector<double> back{0, -1.4, 0.3, 0, 0.5, 0};
    const auto limited = ik.reach(robot.flange(back), std::nullopt, q);
    EXPECT_EQ(limited.status, ReachStatus::OutsideLimits);
    EXPECT_EQ(limited.reason, "every solution lies outside the joint limits");
}

TEST(RobotKinematics, SingularitiesAndConfigurationsAreReported)
{
    const InverseKinematics ik = ArmSolver();
    const RobotModel& robot = ik.robot();
    // Axis 5 at zero: axes 4 and 6 in line.
    const std::vector<double> straight{0.2, 0.3, -0.2, 0.4, 0.0, 0.1};
    const auto wrist = ik.reach(robot.flange(straight), std::nullopt, straight);
    EXPECT_EQ(wrist.status, ReachStatus::Singular);
    EXPECT_EQ(wrist.reason, "near a singularity (wrist)");
    // Axis 4 keeps its current value, so the two do not jump.
    EXPECT_NEAR(wrist.solutions.front().joints[3], 0.4, 1e-9);
    EXPECT_NEAR(wrist.solutions.front().joints[5], 0.1, 1e-9);
    // Two degrees off is outside the margin.
    std::vector<double> bent = straight;
    bent[4] = 2 * kPi / 180;
    EXPECT_EQ(ik.reach(robot.flange(bent), std::nullopt, bent).status, ReachStatus::Reachable);

    // Every configuration of a pose is reached when asked for, and gives
    // back the configuration it was asked for.
    const std::vector<double> q{0.3, 0.2, -0.4, 0.6, 0.8, 0.5};
    const auto all = ik.solve(robot.flange(q), q);
    ASSERT_GE(all.solutions.size(), 4U);
    for (const auto& s : all.solutions) {
        const auto chosen = ik.reach(robot.flange(q), s.conf, q);
        ASSERT_EQ(chosen.status, ReachStatus::Reachable);
        EXPECT_EQ(chosen.solutions.front().conf, s.conf);
    }
    EXPECT_EQ(all.solutions.front().conf, (std::array<int, 4>{0, 0, 0, 0}));
    const auto missing = ik.reach(robot.flange(q), std::array<int, 4>{3, 0, 0, 0}, q);
    EXPECT_EQ(missing.status, ReachStatus::NotInConfiguration);
    EXPECT_EQ(cell::ArmConfiguration::Quadrant(-0.1), -1);
    EXPECT_EQ(cell::ArmConfiguration::Quadrant(kPi / 2 - 1e-7), 1);
}

TEST(RobotKinematics, CoupledAxisThreeFollowsAxisTwo)
{
    const InverseKinematics ik = ArmSolver("<dependency><use_factor>1</use_factor><joint>3</joint>"
                                           "<lead_joint>2</lead_joint><factor>-1</factor></dependency>");
    const RobotModel& robot = ik.robot();
    ASSERT_EQ(robot.couplings().size(), 1U);
    const InverseKinematics plain = ArmSolver();
    // Axis 2 alone moves the forearm back the other way: the forearm keeps
    // its direction.
    const std::vector<double> q{0, 0.4, 0, 0, 0.5, 0};
    EXPECT_LT(Miss(robot.flange(q), plain.robot().flange(std::vector<double>{0, 0.4, -0.4, 0, 0.5, 0})), 1e-9);
    const auto result = ik.solve(robot.flange(q), q);
    ASSERT_FALSE(result.solutions.empty());
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(result.solutions.front().joints[k], q[k], 1e-9);
}

} // namespace
