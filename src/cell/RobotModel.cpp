#include "cell/RobotModel.h"

#include "cell/ElementValues.h"

#include <common/ZrvAssert.h>

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace cell {

namespace {

using detail::AxisAt;
using detail::FlagAt;
using detail::IdAt;
using detail::NumberAt;
using detail::PoseAt;
using detail::TextAt;

// The catalogue's "no limit" (+-1e16) and anything near it.
constexpr double kUnlimited = 1e15;
// Room for values written with six significant digits.
constexpr double kLimitSlack = 1e-6;

std::vector<double> JointStates(const sdf::Element& pose, std::size_t dof,
                                const std::vector<RobotModel::Joint>& joints)
{
    std::vector<double> values(dof, 0.0);
    for (const auto& state : pose.children("joint_state")) {
        const unsigned index = IdAt(*state, "joint_index");
        for (std::size_t k = 0; k < joints.size(); ++k) {
            if (joints[k].index == index && index != 0)
                values[k] = NumberAt(*state, "value");
        }
    }
    return values;
}

} // namespace

RobotModel RobotModel::FromMechanism(const sdf::Element& mechanism)
{
    const std::string& label = mechanism.label();
    if (label != "manipulator" && label != "tool" && label != "device")
        throw std::invalid_argument(fmt::format("a '{}' element is not a mechanism", label));
    RobotModel model;
    model.objectId = mechanism.getId(false);
    model.objectName = TextAt(mechanism, "name");

    std::vector<std::shared_ptr<sdf::Element>> links;
    std::vector<std::shared_ptr<sdf::Element>> joints;
    for (const auto& element : mechanism.elements()) {
        if (element->label() == "link")
            links.push_back(element);
        else if (element->label() == "joint")
            joints.push_back(element);
    }
    RigidTransform atZero;
    for (const auto& link : links) {
        atZero = atZero * PoseAt(*link);
        model.linkZero.push_back(atZero);
    }
    const std::size_t dof = links.empty() ? 0 : std::min(joints.size(), links.size() - 1);
    for (std::size_t k = 0; k < dof; ++k) {
        const sdf::Element& element = *joints[k];
        Joint joint;
        joint.id = element.getId(false);
        joint.name = TextAt(element, "name");
        joint.index = IdAt(element, "index");
        joint.type = TextAt(element, "type") == "prismatic" ? JointType::Prismatic : JointType::Revolute;
        joint.axis = AxisAt(element);
        joint.origin = (model.linkZero[k + 1] * PoseAt(element)).t;
        const double scale = joint.type == JointType::Revolute ? std::numbers::pi / 180 : 1.0;
        const double lower = NumberAt(element, "axis/limit/lower", -1e16);
        const double upper = NumberAt(element, "axis/limit/upper", 1e16);
        joint.lower = lower <= -kUnlimited || !std::isfinite(lower) ? -INFINITY : lower * scale;
        joint.upper = upper >= kUnlimited || !std::isfinite(upper) ? INFINITY : upper * scale;
        joint.nominalZero = NumberAt(element, "axis/nominal_zero");
        joint.reversed = FlagAt(element, "axis/reversed", false);
        joint.value = NumberAt(element, "value");
        model.jointList.push_back(std::move(joint));
    }

    // Couplings name joints by their controller index.
    const auto position = [&model](unsigned index) -> std::size_t {
        for (std::size_t k = 0; k < model.jointList.size(); ++k) {
            if (model.jointList[k].index == index && index != 0)
                return k;
        }
        return SIZE_MAX;
    };
    for (const auto& dependency : mechanism.children("dependency")) {
        if (!FlagAt(*dependency, "use_factor", true))
            continue;
        const std::size_t joint = position(IdAt(*dependency, "joint"));
        const std::size_t lead = position(IdAt(*dependency, "lead_joint"));
        const double factor = NumberAt(*dependency, "factor");
        if (joint != SIZE_MAX && lead != SIZE_MAX && joint != lead && factor != 0)
            model.couplingList.push_back({joint, lead, factor});
    }

    model.homePose.assign(dof, 0.0);
    if (const auto poses = mechanism.get("mechanism_poses")) {
        if (const auto home = poses->get("home_pose"))
            model.homePose = JointStates(*home, dof, model.jointList);
        for (const auto& pose : poses->children("common_pose"))
            model.poses.push_back({TextAt(*pose, "name"), JointStates(*pose, dof, model.jointList)});
    }

    model.flangeLink = links.empty() ? 0 : links.size() - 1;
    model.flangeZero = links.empty() ? RigidTransform{} : model.linkZero.back();
    if (const auto wrist = label == "manipulator" ? mechanism.get("wrist") : nullptr) {
        model.wristObject = wrist->getId(false);
        const std::uint32_t parent = IdAt(*wrist, "parent");
        for (std::size_t i = 0; i < links.size(); ++i) {
            if (parent != 0 && links[i]->getId(false) == parent)
                model.flangeLink = i;
        }
        if (!links.empty())
            model.flangeZero = model.linkZero[model.flangeLink] * PoseAt(*wrist);
    }
    return model;
}

std::vector<double> RobotModel::currentValues() const
{
    std::vector<double> values;
    for (const Joint& joint : jointList)
        values.push_back(joint.value);
    return values;
}

std::vector<double> RobotModel::motion(std::span<const double> storedValues) const
{
    std::vector<double> result(storedValues.begin(), storedValues.end());
    for (const Coupling& c : couplingList)
        result[c.joint] += c.factor * storedValues[c.lead];
    return result;
}

std::vector<double> RobotModel::stored(std::span<const double> motionValues) const
{
    std::vector<double> result(motionValues.begin(), motionValues.end());
    // A lead is not coupled itself, so its stored value is its motion.
    for (const Coupling& c : couplingList)
        result[c.joint] -= c.factor * motionValues[c.lead];
    return result;
}

RigidTransform RobotModel::jointMotion(std::size_t k, double value) const
{
    const Joint& joint = jointList[k];
    if (joint.type == JointType::Prismatic)
        return RigidTransform::Translation({joint.axis[0] * value, joint.axis[1] * value, joint.axis[2] * value});
    // A turn about the axis through the joint's origin.
    const RigidTransform turn = RigidTransform::Rotation(joint.axis, value);
    const Vec3d moved = turn.rotate(joint.origin);
    RigidTransform result = turn;
    for (int c = 0; c < 3; ++c)
        result.t[c] = joint.origin[c] - moved[c];
    return result;
}

RigidTransform RobotModel::flangeFromMotion(std::span<const double> motionValues) const
{
    ZRV_ASSERT(motionValues.size() == jointList.size(), "one value per joint", "src/cell/RobotModel");
    RigidTransform chain;
    // Joint k moves link k+1 and everything after it.
    for (std::size_t k = 0; k < jointList.size() && k < flangeLink; ++k)
        chain = chain * jointMotion(k, motionValues[k]);
    return chain * flangeZero;
}

RigidTransform RobotModel::flange(std::span<const double> storedValues) const
{
    const std::vector<double> m = motion(storedValues);
    return flangeFromMotion(m);
}

std::vector<RigidTransform> RobotModel::links(std::span<const double> storedValues) const
{
    ZRV_ASSERT(storedValues.size() == jointList.size(), "one value per joint", "src/cell/RobotModel");
    const std::vector<double> m = motion(storedValues);
    std::vector<RigidTransform> result;
    RigidTransform chain;
    for (std::size_t i = 0; i < linkZero.size(); ++i) {
        if (i >= 1 && i - 1 < jointList.size())
            chain = chain * jointMotion(i - 1, m[i - 1]);
        result.push_back(chain * linkZero[i]);
    }
    return result;
}

bool RobotModel::withinLimits(std::span<const double> storedValues) const
{
    for (std::size_t k = 0; k < jointList.size() && k < storedValues.size(); ++k) {
        const Joint& joint = jointList[k];
        if (!(storedValues[k] >= joint.lower - kLimitSlack && storedValues[k] <= joint.upper + kLimitSlack))
            return false;
    }
    return true;
}

} // namespace cell
