#pragma once

// A robot (or any mechanism) as kinematics sees it, read from its element.
// The 3D view, sdftool and the tests use this one model.
//
// Conventions (the same as CellLayout's):
//  - The chain: links in document order, the first placed by its `pose` in
//    the mechanism's frame (the base frame), each further link by its
//    `pose` in the frame of the link before it. The k-th joint (document
//    order) joins link k-1 to link k; joints without a child link are not
//    part of the chain.
//  - A joint's `pose` places its frame in the child link's frame; its
//    `axis/xyz` is a direction in the base frame with every joint at zero.
//    A revolute joint turns everything after it by its value (radians,
//    right hand about the axis through the joint frame's origin); a
//    prismatic one shifts it by its value (millimetres) along the axis.
//  - Limits are stored in degrees (revolute) or millimetres (prismatic) and
//    held here in radians or millimetres. The catalogue's default limits
//    (+-1e16) mean "unlimited".
//  - `nominal_zero` and `reversed` only change how a value is displayed;
//    kinematics always uses the values as stored.
//  - A `dependency` with use_factor couples a joint to a lead joint: the
//    joint's motion is its own value plus factor x the lead's value.
//    "Motion" values are what the chain turns by; "stored" values are what
//    the document and the controller hold (the two differ only for coupled
//    joints). A lead joint is not coupled itself.
//  - The flange is the robot's `wrist` frame: its `pose` in the link named
//    by its `parent` (the last link when that names none). A mechanism
//    without wrist (tool, device) has its last link as flange.
//  - Tool data frames (`tframe`) are given in the flange frame, as the
//    controller reads them: TCP = flange x tframe. The tool's attachment
//    only places its geometry.
//  - base(): the world pose of the base frame (its place in the cell), set
//    by whoever knows the cell (see CellLayout).

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT RobotModel
{
public:
    enum class JointType
    {
        Revolute,
        Prismatic,
    };

    struct Joint
    {
        std::uint32_t id = 0;
        std::string name;
        unsigned index = 0; // the controller's axis number, from 1
        JointType type = JointType::Revolute;
        Vec3d axis{0, 0, 1};   // unit, base frame, all joints at zero
        Vec3d origin{0, 0, 0}; // a point of the axis, base frame, all at zero
        double lower = 0;      // radians or millimetres
        double upper = 0;
        double nominalZero = 0; // as stored, display only
        bool reversed = false;  // display only
        double value = 0;       // stored value
    };

    struct Coupling
    {
        std::size_t joint = 0; // chain positions, from 0
        std::size_t lead = 0;
        double factor = 0;
    };

    struct NamedPose
    {
        std::string name;
        std::vector<double> values; // stored values, one per joint
    };

    // Reads a manipulator, tool or device element. Throws
    // std::invalid_argument for any other element.
    static RobotModel FromMechanism(const sdf::Element& mechanism);

    std::uint32_t id() const { return objectId; }
    const std::string& name() const { return objectName; }
    std::size_t dof() const { return jointList.size(); }
    const std::vector<Joint>& joints() const { return jointList; }
    const std::vector<Coupling>& couplings() const { return couplingList; }
    // Saved poses; joints a pose does not name keep 0.
    const std::vector<double>& home() const { return homePose; }
    const std::vector<NamedPose>& namedPoses() const { return poses; }
    // The joints' stored values as the document has them.
    std::vector<double> currentValues() const;

    const RigidTransform& base() const { return basePose; }
    void setBase(const RigidTransform& world) { basePose = world; }
    // Link frames (base frame) with every joint at zero, one per link.
    const std::vector<RigidTransform>& linksAtZero() const { return linkZero; }
    const RigidTransform& flangeAtZero() const { return flangeZero; }
    // The link (document order, from 0) the flange sits on.
    std::size_t flangeLinkIndex() const { return flangeLink; }
    std::uint32_t wristId() const { return wristObject; }

    std::vector<double> motion(std::span<const double> stored) const;
    std::vector<double> stored(std::span<const double> motion) const;

    // Forward kinematics from stored values (size dof()), in the base
    // frame: the flange, and every link frame.
    RigidTransform flange(std::span<const double> stored) const;
    std::vector<RigidTransform> links(std::span<const double> stored) const;
    // The same from motion values.
    RigidTransform flangeFromMotion(std::span<const double> motion) const;

    // Whether every stored value lies within its joint's limits (with a
    // little room for rounding).
    bool withinLimits(std::span<const double> stored) const;

private:
    RigidTransform jointMotion(std::size_t k, double value) const;

    std::uint32_t objectId = 0;
    std::string objectName;
    std::vector<Joint> jointList;
    std::vector<Coupling> couplingList;
    std::vector<double> homePose;
    std::vector<NamedPose> poses;
    std::vector<RigidTransform> linkZero;
    RigidTransform flangeZero;
    std::size_t flangeLink = 0; // the link the flange sits on
    std::uint32_t wristObject = 0;
    RigidTransform basePose;
};

} // namespace cell
