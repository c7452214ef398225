// Robots, tools, devices, parts, assemblies and point clouds.

#include "RobotValues.h"
#include "StationBuilder.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <numbers>

namespace sdf::testing {

namespace {

struct RobotModel
{
    std::string_view vendor;
    std::string_view model;
    std::string_view file;
};

// The project's own catalogue: payload in kg / reach in m; "ZP" arms
// palletise, an "F" arm stands on a shelf.
constexpr std::array<RobotModel, 6> kRobots{{
    {"zervan", "ZR-200/2.60", "zr200_260"},
    {"zervan", "ZR-210/2.70", "zr210_270"},
    {"zervan", "ZR-210/3.10F", "zr210_310f"},
    {"zervan", "ZR-180/2.55", "zr180_255"},
    {"zervan", "ZP-210/2.70", "zp210_270"},
    {"zervan", "ZR-12/1.45", "zr12_145"},
}};

// Limits of a six-axis arm in degrees.
constexpr std::array<std::array<double, 2>, 6> kArmLimits{{
    {-170, 170}, {-65, 85}, {-180, 70}, {-300, 300}, {-130, 130}, {-360, 360}}};

// Offsets from one link frame to the next, in millimetres, of a typical
// arm; the generator varies them a little per robot.
constexpr std::array<std::array<double, 3>, 7> kLinkOffsets{{
    {0, 0, 0}, {0, 0, 780}, {320, 0, 0}, {0, 0, 1075}, {1142, 0, 200}, {200, 0, 0}, {0, 0, 0}}};

constexpr std::array<std::string_view, 8> kPartKinds{"Bracket", "Housing", "Flange", "Frame_Rail", "Cover_Plate",
                                                     "Gusset", "Pipe_Joint", "Base_Plate"};

constexpr std::array<std::string_view, 5> kMaterials{"Steel S235", "Stainless 1.4301", "Aluminium 6061-T6", "Cast iron",
                                                     "Galvanised steel"};

Orient AboutZ(double degrees)
{
    const double half = degrees * std::numbers::pi / 360;
    return {std::cos(half), 0, 0, std::sin(half)};
}

} // namespace

void StationBuilder::addManipulator(RobotCell& cell)
{
    const RobotModel& model = kRobots[(cell.index + _options.seed) % kRobots.size()];
    cell.vendor = model.vendor;
    cell.model = model.model;
    auto robot = addObject(_station, "manipulator", fmt::format("{}_{}", model.model, cell.index + 1));
    cell.manipulator = idOf(robot);
    robot->set<std::string>("vendor", std::string(model.vendor));
    robot->set<std::string>("document_type", "library");
    robot->set<std::string>("uri", fmt::format("library/robots/{}/{}.rlib", model.vendor, model.file));
    robot->set<bool>("detectable", true);
    // Robots stand in a row on the floor, turned towards the work area.
    robot->set<Pose>("pose", {{cell.index * 3000.0, _rng.rounded(-200, 200, 0), 0},
                              AboutZ(cell.index % 2 ? 180 : 0)});
    auto lastLink = addLinksAndJoints(robot, 6, false, &cell.links, &cell.joints);
    addMechanismPoses(robot, 6);
    if (_rng.chance(0.25)) {
        // The parallel arm of palletising robots: axis 3 follows axis 2.
        auto dependency = robot->append("dependency");
        dependency->setId(1);
        dependency->set<bool>("use_factor", true);
        dependency->set<unsigned int>("joint", 3);
        dependency->set<unsigned int>("lead_joint", 2);
        dependency->set<double>("factor", -1);
    }

    // The wrist came with the robot (it is required); its object parent is
    // the last link, on whose flange it sits.
    auto wrist = robot->get("wrist");
    cell.wrist = nextId();
    wrist->setId(cell.wrist);
    wrist->set<std::string>("name", "Wrist");
    adopt(lastLink, wrist);
    // The flange: out along axis 6, its z axis pointing that way.
    wrist->set<Pose>("pose", {{_rng.rounded(80, 160, 1), 0, 0}, {std::numbers::sqrt2 / 2, 0, std::numbers::sqrt2 / 2, 0}});
    robot->set<std::string>("kinematic_configuration", cell.index % 3 == 2 ? "Offset" : "Standard");
    if (_rng.chance(0.3))
        addUserFile(robot, "maintenance_manual");
}

StationBuilder::ElementPtr StationBuilder::addLinksAndJoints(const ElementPtr& mechanism, unsigned joints,
                                                             bool prismatic, std::vector<unsigned>* linkIds,
                                                             std::vector<unsigned>* jointIds)
{
    ElementPtr link;
    for (unsigned i = 0; i <= joints; ++i) {
        link = addObject(mechanism, "link", i == 0 ? std::string("base_link") : fmt::format("link_{}", i));
        const auto& offset = kLinkOffsets[i % kLinkOffsets.size()];
        link->set<bool>("detectable", i != 0 || _rng.chance(0.5));
        link->set<Pose>("pose", {{offset[0] * _rng.rounded(0.9, 1.1, 2), offset[1], offset[2] * _rng.rounded(0.9, 1.1, 2)},
                                 {}});
        if (linkIds)
            linkIds->push_back(idOf(link));
    }
    for (unsigned i = 1; i <= joints; ++i) {
        auto joint = addObject(mechanism, "joint", fmt::format("joint_{}", i));
        joint->set<std::string>("type", prismatic ? "prismatic" : "revolute");
        joint->set<unsigned int>("index", i);
        const auto& limits = kArmLimits[(i - 1) % kArmLimits.size()];
        // An arm's axes: a vertical base axis, shoulder and elbow side by
        // side, and a wrist whose three axes meet in one point (4 and 6
        // along the forearm, 5 across it) -- what the closed-form solver
        // of the cell library takes. Devices turn about z, then y.
        const bool alongForearm = joints == 6 && (i == 4 || i == 6);
        joint->set<Vec3>("axis/xyz", prismatic      ? Vec3{1, 0, 0}
                                     : alongForearm ? Vec3{1, 0, 0}
                                     : i == 1       ? Vec3{0, 0, 1}
                                                    : Vec3{0, 1, 0});
        joint->set<double>("axis/limit/lower", prismatic ? 0.0 : limits[0]);
        joint->set<double>("axis/limit/upper", prismatic ? _rng.rounded(50, 2000, 0) : limits[1]);
        if (_rng.chance(0.3))
            joint->set<double>("axis/nominal_zero", i == 3 ? -90.0 : 0.0);
        if (_rng.chance(0.1))
            joint->set<bool>("axis/reversed", true);
        // In the child link's frame: each joint sits at its link's origin.
        joint->set<Pose>("pose", {{0, 0, 0}, {}});
        joint->set<bool>("active", true);
        joint->set<double>("value", _rng.rounded(-1.5, 1.5, 4));
        if (jointIds)
            jointIds->push_back(idOf(joint));
    }
    return link;
}

void StationBuilder::addMechanismPoses(const ElementPtr& mechanism, unsigned joints)
{
    auto poses = mechanism->append("mechanism_poses");
    auto home = poses->get("home_pose");
    for (unsigned i = 1; i <= joints; ++i) {
        auto state = home->append("joint_state");
        state->set<unsigned int>("joint_index", i);
        state->set<double>("value", i == 5 ? 0.5235987755982988 : 0.0);
    }
    for (std::string_view name : {"transport", "service"}) {
        auto pose = poses->append("common_pose");
        pose->set<std::string>("name", std::string(name));
        for (unsigned i = 1; i <= joints; ++i) {
            auto state = pose->append("joint_state");
            state->set<unsigned int>("joint_index", i);
            state->set<double>("value", _rng.rounded(-1.2, 1.2, 3));
        }
    }
}

void StationBuilder::addTool(RobotCell& cell)
{
    const bool gripper = cell.index % 3 == 1;
    auto tool = addObject(_station, "tool", gripper ? fmt::format("Gripper_{}", cell.index + 1)
                                                    : fmt::format("WeldGun_{}", cell.index + 1));
    cell.tool = idOf(tool);
    for (unsigned i = 0; i < (gripper ? 1U : 2U); ++i) {
        auto data = tool->append("tooldata");
        data->setId(nextId());
        data->set<std::string>("name", gripper ? "gripper" : (i == 0 ? "weldGun" : "weldGunCleaning"));
        data->set<zrv::rob::ToolData>("value", RandomToolData(_rng));
    }
    tool->set<std::string>("document_type", gripper ? "station" : "library");
    tool->set<std::string>("uri", gripper ? "" : "library/tools/weldgun_mig_400.rlib");
    tool->set<bool>("detectable", true);
    tool->set<Pose>("pose", RandomPose(_rng, 2000));
    // A gripper has its fingers on a prismatic joint; a weld gun is rigid.
    addLinksAndJoints(tool, gripper ? 1 : 0, true, nullptr, nullptr);
}

void StationBuilder::addDevice(unsigned index)
{
    auto device = addObject(_station, "device", fmt::format("Positioner_{}", index + 1));
    _devices.push_back(idOf(device));
    device->set<std::string>("document_type", "library");
    device->set<std::string>("uri", "library/devices/positioner_2axis.rlib");
    device->set<Pose>("pose", {{1500.0 + index * 3000.0, 1800, 0}, AboutZ(-90)});
    std::vector<unsigned> links;
    addLinksAndJoints(device, 2, false, &links, nullptr);
    addMechanismPoses(device, 2);
    auto frame = addObject(device, "device_frame", "mounting_flange");
    _deviceFrames.push_back(idOf(frame));
    frame->set<unsigned int>("parent_link", links.back());
    frame->set<bool>("mounting", true);
    frame->set<Pose>("pose", {{0, 0, _rng.rounded(600, 900, 0)}, {}});
}

void StationBuilder::addPart(unsigned index)
{
    const std::string_view kind = kPartKinds[(index + _options.seed) % kPartKinds.size()];
    auto part = addObject(_station, "part", fmt::format("{}_{:02}", kind, index + 1));
    _parts.push_back(idOf(part));
    part->set<std::string>("uri", fmt::format("geometry/{}_{:02}.step", kind, index + 1));
    part->set<bool>("detectable", true);
    part->set<Pose>("pose", RandomPose(_rng, 2500));
    const unsigned bodies = 1 + _rng.below(3);
    for (unsigned b = 0; b < bodies; ++b) {
        auto body = addObject(part, "body", fmt::format("Body{}", b + 1));
        _bodies.push_back(idOf(body));
        body->set<std::string>("geometry/file_type", "step");
        body->set<std::string>("geometry/uri", fmt::format("geometry/{}_{:02}_b{}.step", kind, index + 1, b + 1));
        auto visual = body->append("visual");
        visual->set<std::string>("color_uri", fmt::format("colors/{}.col", b == 0 ? "grey" : "blue"));
        visual->set<std::string>("material/name", std::string(kMaterials[_rng.below(kMaterials.size())]));
    }
}

void StationBuilder::addAssembly(unsigned index)
{
    auto assembly = addObject(_station, "assembly", fmt::format("Fixture_{}", static_cast<char>('A' + index % 26)));
    assembly->set<std::string>("uri", fmt::format("library/fixtures/fixture_{}.rlib", index + 1));
    assembly->set<bool>("detectable", false);
    assembly->set<Pose>("pose", RandomPose(_rng, 2000));
}

void StationBuilder::addPointCloud(unsigned index)
{
    auto cloud = addObject(_station, "pointcloud", fmt::format("Scan_{}", index + 1));
    cloud->set<Pose>("pose", RandomPose(_rng, 1000));
    cloud->set<std::string>("geometry/file_type", "ply");
    cloud->set<std::string>("geometry/uri", fmt::format("scans/scan_{}.ply", index + 1));
}

} // namespace sdf::testing
