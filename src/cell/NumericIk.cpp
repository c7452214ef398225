#include "cell/NumericIk.h"

#include "cell/RobotModel.h"

#include <kdl/chain.hpp>
#include <kdl/chainiksolverpos_lma.hpp>
#include <kdl/chainjnttojacsolver.hpp>

#include <Eigen/SVD>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace cell {

namespace {

constexpr double kMetre = 1000; // KDL works in metres, the station in mm
constexpr double kPositionTolerance = 1e-3; // mm
constexpr double kTurnTolerance = 1e-6;     // rad

KDL::Frame ToKdl(const RigidTransform& t)
{
    return KDL::Frame(KDL::Rotation::Quaternion(t.q[1], t.q[2], t.q[3], t.q[0]),
                      KDL::Vector(t.t[0] / kMetre, t.t[1] / kMetre, t.t[2] / kMetre));
}

double TurnBetween(const RigidTransform& a, const RigidTransform& b)
{
    const RigidTransform d = a.inverse() * b;
    const double v = std::sqrt(d.q[1] * d.q[1] + d.q[2] * d.q[2] + d.q[3] * d.q[3]);
    return 2 * std::atan2(v, std::abs(d.q[0]));
}

} // namespace

struct NumericIk::Impl
{
    const RobotModel* robot = nullptr;
    KDL::Chain chain;
    std::unique_ptr<KDL::ChainIkSolverPos_LMA> lma;
    std::unique_ptr<KDL::ChainJntToJacSolver> jacobian;
    std::vector<std::pair<double, double>> seedRange;
    mutable std::mt19937 random{20140101};
};

NumericIk::NumericIk(const RobotModel& robot)
    : impl(std::make_unique<Impl>())
{
    impl->robot = &robot;
    // Every segment's frame is the base frame moved by the joints before
    // it, so each joint's axis and origin read as the model states them
    // (base frame, all joints at zero); the last segment ends at the flange.
    for (const auto& joint : robot.joints()) {
        const KDL::Vector origin(joint.origin[0] / kMetre, joint.origin[1] / kMetre, joint.origin[2] / kMetre);
        const KDL::Vector axis(joint.axis[0], joint.axis[1], joint.axis[2]);
        const bool prismatic = joint.type == RobotModel::JointType::Prismatic;
        // Prismatic values stay in millimetres: the joint scales them.
        impl->chain.addSegment(KDL::Segment(KDL::Joint(origin, axis, prismatic ? KDL::Joint::TransAxis : KDL::Joint::RotAxis,
                                                       prismatic ? 1 / kMetre : 1.0)));
        const double span = prismatic ? 1000 : std::numbers::pi;
        impl->seedRange.emplace_back(std::max(joint.lower, -span), std::min(joint.upper, span));
        if (impl->seedRange.back().first > impl->seedRange.back().second)
            impl->seedRange.back() = {joint.lower, joint.lower};
    }
    impl->chain.addSegment(KDL::Segment(KDL::Joint(KDL::Joint::Fixed), ToKdl(robot.flangeAtZero())));
    Eigen::Matrix<double, 6, 1> weights;
    weights.setOnes();
    impl->lma = std::make_unique<KDL::ChainIkSolverPos_LMA>(impl->chain, weights, 1e-10, 500, 1e-15);
    impl->jacobian = std::make_unique<KDL::ChainJntToJacSolver>(impl->chain);
}

NumericIk::~NumericIk() = default;
NumericIk::NumericIk(NumericIk&&) noexcept = default;
NumericIk& NumericIk::operator=(NumericIk&&) noexcept = default;

void NumericIk::solve(const RigidTransform& flange, std::span<const std::vector<double>> seeds, int attempts,
                      const std::function<bool(std::span<const double>)>& accept) const
{
    const std::size_t dof = impl->robot->dof();
    if (dof == 0)
        return;
    const KDL::Frame goal = ToKdl(flange);
    KDL::JntArray seed(static_cast<unsigned>(dof));
    KDL::JntArray answer(static_cast<unsigned>(dof));
    std::vector<double> motion(dof);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const auto at = static_cast<std::size_t>(attempt);
        for (std::size_t k = 0; k < dof; ++k) {
            if (at < seeds.size() && seeds[at].size() == dof) {
                seed(static_cast<unsigned>(k)) = seeds[at][k];
            } else {
                const auto [lo, hi] = impl->seedRange[k];
                seed(static_cast<unsigned>(k)) = std::uniform_real_distribution<double>(lo, hi)(impl->random);
            }
        }
        impl->lma->CartToJnt(seed, goal, answer);
        for (std::size_t k = 0; k < dof; ++k)
            motion[k] = answer(static_cast<unsigned>(k));
        const RigidTransform reached = impl->robot->flangeFromMotion(motion);
        const double miss = std::hypot(reached.t[0] - flange.t[0], reached.t[1] - flange.t[1], reached.t[2] - flange.t[2]);
        if (miss > kPositionTolerance || TurnBetween(reached, flange) > kTurnTolerance)
            continue;
        if (accept(motion))
            return;
    }
}

bool NumericIk::singular(std::span<const double> motion) const
{
    const std::size_t dof = impl->robot->dof();
    KDL::JntArray q(static_cast<unsigned>(dof));
    for (std::size_t k = 0; k < dof; ++k)
        q(static_cast<unsigned>(k)) = motion[k];
    KDL::Jacobian jacobian(static_cast<unsigned>(dof));
    impl->jacobian->JntToJac(q, jacobian);
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(jacobian.data);
    const auto& values = svd.singularValues();
    // A chain of fewer than six axes has rank at most its axis count.
    const Eigen::Index rank = std::min<Eigen::Index>(values.size(), 6);
    return rank > 0 && values(rank - 1) < 1e-3;
}

} // namespace cell
