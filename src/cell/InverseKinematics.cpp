#include "cell/InverseKinematics.h"

#include "cell/ArmConfiguration.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cell {

namespace {

constexpr double kTurn = 2 * std::numbers::pi;
constexpr double kSame = 1e-6; // two solutions this close are one

double Distance(std::span<const double> a, std::span<const double> b)
{
    double sum = 0;
    for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
        sum += (a[k] - b[k]) * (a[k] - b[k]);
    return sum;
}

bool Known(const std::vector<IkSolution>& list, std::span<const double> joints)
{
    return std::any_of(list.begin(), list.end(), [&](const IkSolution& s) {
        for (std::size_t k = 0; k < joints.size(); ++k) {
            if (std::abs(s.joints[k] - joints[k]) > kSame)
                return false;
        }
        return true;
    });
}

std::string SingularText(const IkSolution& s)
{
    std::string text;
    const auto add = [&text](bool on, std::string_view what) {
        if (on)
            text += text.empty() ? std::string(what) : fmt::format(", {}", what);
    };
    add(s.wristSingular, "wrist");
    add(s.shoulderSingular, "shoulder");
    add(s.elbowSingular, "elbow");
    add(s.otherSingular, "axes aligned");
    return text;
}

} // namespace

InverseKinematics::InverseKinematics(RobotModel robot)
    : model(std::make_unique<RobotModel>(std::move(robot)))
{
    closed = ClosedFormIk::Recognise(*model, &whyNumeric);
    if (!closed)
        numeric = std::make_unique<NumericIk>(*model);
}

InverseKinematics::~InverseKinematics() = default;
InverseKinematics::InverseKinematics(InverseKinematics&&) noexcept = default;
InverseKinematics& InverseKinematics::operator=(InverseKinematics&&) noexcept = default;

RigidTransform InverseKinematics::flangeFor(const RigidTransform& worldTcp, const RigidTransform& toolFrame) const
{
    return model->base().inverse() * worldTcp * toolFrame.inverse();
}

void InverseKinematics::addTurns(std::span<const double> motion, const IkSolution& flags, int cfx,
                                 std::vector<IkSolution>& out) const
{
    const auto& joints = model->joints();
    const std::size_t dof = joints.size();
    // Per joint the motion values to try: the value itself and, for a
    // revolute joint whose range exceeds a turn (or that is coupled, whose
    // stored value decides), one turn up and down.
    std::vector<bool> coupled(dof, false);
    for (const auto& c : model->couplings())
        coupled[c.joint] = coupled[c.lead] = true;
    std::vector<std::array<double, 3>> choices(dof);
    std::vector<int> counts(dof, 1);
    for (std::size_t k = 0; k < dof; ++k) {
        choices[k][0] = motion[k];
        const auto& joint = joints[k];
        if (joint.type != RobotModel::JointType::Revolute || (joint.upper - joint.lower <= kTurn && !coupled[k]))
            continue;
        for (const double shift : {-kTurn, kTurn}) {
            const double v = motion[k] + shift;
            if (coupled[k] || (v >= joint.lower - 1e-9 && v <= joint.upper + 1e-9))
                choices[k][static_cast<std::size_t>(counts[k]++)] = v;
        }
    }
    std::vector<int> pick(dof, 0);
    std::vector<double> m(dof);
    while (true) {
        for (std::size_t k = 0; k < dof; ++k)
            m[k] = choices[k][static_cast<std::size_t>(pick[k])];
        std::vector<double> values = model->stored(m);
        if (model->withinLimits(values) && !Known(out, values)) {
            IkSolution s = flags;
            s.conf = ArmConfiguration::Of(*model, values, cfx);
            s.joints = std::move(values);
            out.push_back(std::move(s));
        }
        std::size_t k = 0;
        while (k < dof && ++pick[k] == counts[k])
            pick[k++] = 0;
        if (k == dof)
            break;
    }
}

bool InverseKinematics::solutions(const RigidTransform& flange, std::span<const double> current, bool firstOnly,
                                  const std::optional<std::array<int, 4>>& conf, std::vector<IkSolution>& out) const
{
    const std::vector<double> now = model->motion(current);
    if (closed) {
        std::array<ClosedFormIk::Solution, 8> raw;
        const int count = closed->solve(flange, now, raw);
        for (int i = 0; i < count; ++i) {
            const auto& r = raw[static_cast<std::size_t>(i)];
            IkSolution flags;
            flags.wristSingular = r.wristSingular;
            flags.shoulderSingular = r.shoulderSingular;
            flags.elbowSingular = r.elbowSingular;
            addTurns(r.motion, flags, ArmConfiguration::Branch(r.shoulderBack, r.elbowDown, r.wristFlipped), out);
        }
        return count > 0;
    }
    bool any = false;
    const std::vector<std::vector<double>> seeds{now, model->motion(model->home())};
    numeric->solve(flange, seeds, NumericIk::kAttempts, [&](std::span<const double> motion) {
        any = true;
        IkSolution flags;
        flags.otherSingular = numeric->singular(motion);
        // An answer may be turns away from the limits' range: bring each
        // revolute value into (-pi, pi] first, then add the turns.
        std::vector<double> wrapped(motion.begin(), motion.end());
        for (std::size_t k = 0; k < wrapped.size(); ++k) {
            if (model->joints()[k].type == RobotModel::JointType::Revolute)
                wrapped[k] = std::remainder(wrapped[k], kTurn);
        }
        const std::size_t before = out.size();
        addTurns(wrapped, flags, 0, out);
        if (!firstOnly)
            return false;
        for (std::size_t i = before; i < out.size(); ++i) {
            if (!conf || ArmConfiguration::Matches(out[i].conf, *conf, false))
                return true;
        }
        return false;
    });
    return any;
}

InverseKinematics::Result InverseKinematics::solve(const RigidTransform& flange, std::span<const double> current) const
{
    Result result;
    const bool any = solutions(flange, current, false, std::nullopt, result.solutions);
    std::stable_sort(result.solutions.begin(), result.solutions.end(), [&](const IkSolution& a, const IkSolution& b) {
        return Distance(a.joints, current) < Distance(b.joints, current);
    });
    if (!result.solutions.empty()) {
        result.status = ReachStatus::Reachable;
    } else if (any) {
        result.status = ReachStatus::OutsideLimits;
        result.reason = "every solution lies outside the joint limits";
    } else {
        result.status = ReachStatus::OutOfReach;
        result.reason = closed ? "no joint values give this pose"
                               : fmt::format("the numerical solver found no joint values in {} attempts",
                                             NumericIk::kAttempts);
    }
    return result;
}

InverseKinematics::Result InverseKinematics::reach(const RigidTransform& flange,
                                                   const std::optional<std::array<int, 4>>& conf,
                                                   std::span<const double> current) const
{
    Result result;
    std::vector<IkSolution> found;
    const bool any = solutions(flange, current, true, conf, found);
    if (found.empty()) {
        result.status = any ? ReachStatus::OutsideLimits : ReachStatus::OutOfReach;
        result.reason = any ? "every solution lies outside the joint limits"
                      : closed ? "no joint values give this pose"
                               : fmt::format("the numerical solver found no joint values in {} attempts",
                                             NumericIk::kAttempts);
        return result;
    }
    std::stable_sort(found.begin(), found.end(), [&](const IkSolution& a, const IkSolution& b) {
        return Distance(a.joints, current) < Distance(b.joints, current);
    });
    const auto chosen = std::find_if(found.begin(), found.end(), [&](const IkSolution& s) {
        return !conf || ArmConfiguration::Matches(s.conf, *conf, closed.has_value());
    });
    if (chosen == found.end()) {
        result.status = ReachStatus::NotInConfiguration;
        result.reason = fmt::format("no solution in configuration [{}, {}, {}, {}]; the nearest is [{}, {}, {}, {}]",
                                    (*conf)[0], (*conf)[1], (*conf)[2], (*conf)[3], found.front().conf[0],
                                    found.front().conf[1], found.front().conf[2], found.front().conf[3]);
        result.solutions = std::move(found);
        return result;
    }
    std::rotate(found.begin(), chosen, chosen + 1);
    if (found.front().singular()) {
        result.status = ReachStatus::Singular;
        result.reason = fmt::format("near a singularity ({})", SingularText(found.front()));
    } else {
        result.status = ReachStatus::Reachable;
    }
    result.solutions = std::move(found);
    return result;
}

} // namespace cell
