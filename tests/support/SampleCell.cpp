#include "SampleCell.h"

#include "RobotValues.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <string>

namespace sdf::testing {

namespace {

using ElementPtr = std::shared_ptr<Element>;

// Ids in order of creation; every object names its object parent in
// `parent`, and the parent lists it in a `child` element.
class Objects
{
public:
    ElementPtr add(const ElementPtr& container, std::string_view label, std::string_view name)
    {
        auto object = container->appendObject(label, _next++, name);
        adopt(container, object);
        return object;
    }

    // For objects that come with their container (the wrist) or whose
    // object parent is not their container.
    unsigned take() { return _next++; }

    static void adopt(const ElementPtr& parent, const ElementPtr& child)
    {
        child->set<unsigned int>("parent", parent->getId(true));
        parent->append("child")->setValue(child->getId(true));
    }

    unsigned next() const { return _next; }

private:
    unsigned _next = 2;
};

Pose At(double x, double y, double z, Orient q = {}) { return {{x, y, z}, q}; }

// The tool pointing down: half a turn about y.
constexpr Orient kDown{0, 0, 1, 0};
// A quarter turn about y: z becomes x.
constexpr Orient kQuarterAboutY{0.7071067811865476, 0, 0.7071067811865476, 0};

constexpr unsigned kAngleFace = 2;
constexpr unsigned kAngleEdge = 1;
constexpr bool kAngleReversed = true;
constexpr double kAngleWork = 45;
constexpr double kAngleSpin = 90;

zrv::rob::RobTarget Target(double x, double y, double z)
{
    zrv::rob::RobTarget t;
    t.trans = {x, y, z};
    t.rot = {0, 0, 1, 0};
    // Axis 1 a little negative (the seam lies at negative y), axis 6 too,
    // the arm in front, elbow up, wrist on its positive side.
    t.robconf = {-1, 0, -1, 0};
    return t;
}

struct Cell
{
    ElementPtr station;
    unsigned robot = 0;
    unsigned wrist = 0;
    unsigned tool = 0;
    unsigned table = 0;
    unsigned bracket = 0;
    unsigned bracketBody = 0;
    unsigned controller = 0;
    unsigned gunOn = 0;
    unsigned task = 0;
    unsigned toolData = 0;
    unsigned workObject = 0;
    unsigned speed = 0;
    unsigned zone = 0;
    unsigned seam = 0;
    unsigned sensor = 0;
    unsigned sensorActive = 0;
    unsigned sensorOut = 0;
};

void AddRobot(Objects& objects, Cell& cell)
{
    auto robot = objects.add(cell.station, "manipulator", "ZR12_145");
    cell.robot = robot->getId(true);
    robot->set<std::string>("vendor", "zervan");
    robot->set<std::string>("document_type", "library");
    robot->set<std::string>("uri", "library/robots/zervan/zr12_145.rlib");
    robot->set<Pose>("pose", At(0, 0, 0));

    // Link frames and joint limits of a six-axis arm with 1.45 m reach.
    constexpr std::array<std::array<double, 3>, 7> kLinks{{
        {0, 0, 0}, {0, 0, 486.5}, {150, 0, 0}, {0, 0, 700}, {314, 0, 0}, {286, 0, 0}, {65, 0, 0}}};
    constexpr std::array<std::array<double, 2>, 6> kLimits{{
        {-180, 180}, {-63, 136}, {-235, 55}, {-200, 200}, {-115, 115}, {-400, 400}}};
    ElementPtr flange;
    for (unsigned i = 0; i < kLinks.size(); ++i) {
        const std::string name = i == 0 ? std::string("base_link") : fmt::format("link_{}", i);
        flange = objects.add(robot, "link", name);
        flange->set<Pose>("pose", At(kLinks[i][0], kLinks[i][1], kLinks[i][2]));
        // The link's shape, in its own frame (see SampleMeshes).
        auto shape = flange->append("user_file");
        shape->set<std::string>("file_name", name + ".gltf");
        shape->set<std::string>("uri", fmt::format("meshes/zr12/{}.gltf", name));
    }
    for (unsigned i = 1; i <= kLimits.size(); ++i) {
        auto joint = objects.add(robot, "joint", fmt::format("joint_{}", i));
        joint->set<unsigned int>("index", i);
        joint->set<Vec3>("axis/xyz", i == 1 ? Vec3{0, 0, 1} : (i == 4 || i == 6) ? Vec3{1, 0, 0} : Vec3{0, 1, 0});
        joint->set<double>("axis/limit/lower", kLimits[i - 1][0]);
        joint->set<double>("axis/limit/upper", kLimits[i - 1][1]);
        // In the child link's frame: each joint sits at its link's origin.
        joint->set<Pose>("pose", At(0, 0, 0));
        joint->set<double>("value", i == 5 ? 0.5236 : 0.0);
    }
    auto home = robot->append("mechanism_poses")->get("home_pose");
    for (unsigned i = 1; i <= kLimits.size(); ++i) {
        auto state = home->append("joint_state");
        state->set<unsigned int>("joint_index", i);
        state->set<double>("value", i == 5 ? 0.5236 : 0.0);
    }

    // The wrist came with the robot; it sits on the flange of the last link.
    auto wrist = robot->get("wrist");
    cell.wrist = objects.take();
    wrist->setId(cell.wrist);
    wrist->set<std::string>("name", "Wrist");
    // The flange frame: z out of the flange, along the last link's x axis.
    wrist->set<Pose>("pose", At(0, 0, 0, kQuarterAboutY));
    Objects::adopt(flange, wrist);
    robot->set<std::string>("kinematic_configuration", "Standard");
}

void AddTool(Objects& objects, Cell& cell)
{
    auto tool = objects.add(cell.station, "tool", "WeldGun_MIG_22");
    cell.tool = tool->getId(true);
    auto data = tool->append("tooldata");
    data->setId(1);
    data->set<std::string>("name", "weldGun");
    zrv::rob::ToolData gun;
    gun.tframe.trans = {0, 0, 412.5};
    gun.tframe.rot = {0.9659258262890683, 0, 0.2588190451025207, 0};
    gun.tload.mass = 3.2;
    gun.tload.cog = {0, 0, 150};
    data->set<zrv::rob::ToolData>("value", gun);
    tool->set<std::string>("document_type", "library");
    tool->set<std::string>("uri", "library/tools/weldgun_mig_22.rlib");
    tool->set<Pose>("pose", At(65, 0, 1186.5, kQuarterAboutY));
    auto body = objects.add(tool, "link", "gun_body");
    body->set<Pose>("pose", At(0, 0, 0));
    auto shape = body->append("user_file");
    shape->set<std::string>("file_name", "torch.gltf");
    shape->set<std::string>("uri", "meshes/torch.gltf");
}

void AddParts(Objects& objects, Cell& cell)
{
    auto table = objects.add(cell.station, "part", "Table");
    cell.table = table->getId(true);
    table->set<std::string>("uri", "geometry/welding_table_1200x800.step");
    table->set<Pose>("pose", At(900, 0, 0));
    auto top = objects.add(table, "body", "Top");
    top->set<std::string>("geometry/file_type", "gltf");
    top->set<std::string>("geometry/uri", "meshes/table.gltf");
    top->append("visual")->set<std::string>("material/name", "Steel S235");

    auto bracket = objects.add(cell.station, "part", "Bracket & Gusset <L>");
    cell.bracket = bracket->getId(true);
    bracket->set<std::string>("uri", "geometry/bracket_l.step");
    bracket->set<Pose>("pose", At(900, -150, 760));
    auto body = objects.add(bracket, "body", "Bracket");
    cell.bracketBody = body->getId(true);
    body->set<std::string>("geometry/file_type", "gltf");
    body->set<std::string>("geometry/uri", "meshes/bracket.gltf");
    auto visual = body->append("visual");
    visual->set<std::string>("color_uri", "colors/primer_grey.col");
    visual->set<std::string>("material/name", "Stainless 1.4301");
    auto file = bracket->append("user_file");
    file->set<std::string>("file_name", "bracket_l_drawing.pdf");
    file->set<std::string>("uri", "userfiles/bracket_l_drawing.pdf");
}

void AddController(Objects& objects, Cell& cell)
{
    auto controller = objects.add(cell.station, "controller", "RC_1");
    cell.controller = controller->getId(true);
    controller->set<unsigned int>("manipulator", cell.robot);
    auto unit = objects.add(controller, "mechanical_unit", "Arm_1");
    unit->set<unsigned int>("use_mechanism", cell.robot);
    unit->set<bool>("activated", true);
    auto group = objects.add(controller, "mechanical_unit_group", "Motion_1");
    group->set<unsigned int>("robot_unit", unit->getId(true));
    auto task = controller->append("task");
    task->set<unsigned int>("task_id", 1);
    task->append("uri")->setValue(std::string("program/weld/main.tvr"));
    task->set<bool>("compiled", true);
    task->set<std::string>("binary", "weld.tbin");
    task->set<unsigned int>("use_mechanical_unit_group", group->getId(true));

    auto gunOn = objects.add(controller, "signal", "doGunOn");
    cell.gunOn = gunOn->getId(true);
    gunOn->set<std::string>("description", "Arc on");
    gunOn->set<std::string>("type", "DigitalOutput");
    gunOn->set<bool>("value", false);
    auto wire = objects.add(controller, "signal", "aoWireFeed");
    wire->set<std::string>("description", "Wire feed speed (m/min)");
    wire->set<std::string>("type", "AnalogOutput");
    wire->set<double>("value", 8.5);
}

void AddProgram(Objects& objects, Cell& cell)
{
    auto task = objects.add(cell.station, "task", "Weld");
    cell.task = task->getId(true);
    task->set<unsigned int>("wrist_id", cell.wrist);
    task->set<unsigned int>("controller_id", cell.controller);

    auto tool = objects.add(task, "dataitem", "weldGun");
    cell.toolData = tool->getId(true);
    // The program's tool data is the torch's own: tilted 30 degrees, so that
    // the robot reaches the seam with its wrist inside the limits.
    zrv::rob::ToolData gun;
    gun.tframe.trans = {0, 0, 412.5};
    gun.tframe.rot = {0.9659258262890683, 0, 0.2588190451025207, 0};
    gun.tload.mass = 3.2;
    gun.tload.cog = {0, 0, 150};
    tool->set<zrv::rob::ToolData>("value", gun);
    auto wobj = objects.add(task, "dataitem", "tableTop");
    cell.workObject = wobj->getId(true);
    zrv::rob::WObjData table;
    table.uframe.trans = {900, 0, 760};
    wobj->set<zrv::rob::WObjData>("value", table);
    wobj->set<unsigned int>("anchor", cell.table);
    // Speeds and zones are data of the task that instructions name; the
    // weld pair is also what the seam's operation generates with.
    const auto speedItem = [&](std::string_view name, double tcp) {
        auto item = objects.add(task, "dataitem", name);
        item->set<zrv::rob::SpeedData>("value", zrv::rob::SpeedData{tcp, 500, 5000, 1000});
        return item->getId(true);
    };
    const auto zoneItem = [&](std::string_view name, const zrv::rob::ZoneData& zone) {
        auto item = objects.add(task, "dataitem", name);
        item->set<zrv::rob::ZoneData>("value", zone);
        return item->getId(true);
    };
    cell.speed = speedItem("speedWeld", 12);
    speedItem("speedTravel", 1000);
    speedItem("speedApproach", 200);
    speedItem("speedRetract", 500);
    cell.zone = zoneItem("zoneWeld", {false, 1, 1, 1, 0.1, 1, 0.1});
    zoneItem("zoneExact", {true, 0, 0, 0, 0, 0, 0});
    zoneItem("zoneTravel", {false, 50, 75, 75, 7.5, 75, 7.5});
    zoneItem("zoneRetract", {false, 10, 15, 15, 1.5, 15, 1.5});
    auto home = objects.add(task, "dataitem", "homeJoints");
    zrv::rob::JointTarget joints;
    joints.robax = {0, 0, 0, 0, 30, 0};
    home->set<zrv::rob::JointTarget>("value", joints);
    objects.add(task, "dataitem", "weldCount")->set<int>("value", 0);
    objects.add(task, "dataitem", "operatorName")->set<std::string>("value", "");

    auto path = objects.add(task, "path", "Seam1");
    struct Move
    {
        std::string_view call;
        zrv::rob::RobTarget to;
        std::string_view speed;
        std::string_view zone;
        std::string_view comment;
    };
    // In the work object on the table top: the seam is the bracket's inner
    // corner, 10 mm above the top.
    const std::array<Move, 5> moves{{
        {"Movej", Target(-150, -250, 190), "speedTravel", "zoneTravel", ""},
        {"Movel", Target(-150, -150, 40), "speedApproach", "zoneExact", "approach, 30 mm above the seam"},
        {"WeldLine", Target(-150, -150, 10), "speedWeld", "zoneWeld", "seam start: tack at 'A'"},
        {"WeldLine", Target(150, -150, 10), "speedWeld", "zoneExact", "seam end"},
        {"Movel", Target(150, -150, 140), "speedRetract", "zoneRetract", ""},
    }};
    for (const Move& move : moves) {
        auto instruction = objects.add(path, "instruction", move.call);
        objects.add(instruction, "argument", "target")->set<zrv::rob::RobTarget>("value", move.to);
        objects.add(instruction, "argument", "speed")->set<std::string>("value", std::string(move.speed));
        objects.add(instruction, "argument", "zone")->set<std::string>("value", std::string(move.zone));
        objects.add(instruction, "argument", "tool")->set<std::string>("value", "weldGun");
        objects.add(instruction, "argument", "wobj")->set<std::string>("value", "tableTop");
        instruction->set<std::string>("source", "user taught");
        if (!move.comment.empty())
            instruction->set<std::string>("comment", std::string(move.comment));
    }
}

void AddFeatureAndOperation(Objects& objects, Cell& cell)
{
    auto seam = objects.add(cell.station, "mfg", "Seam_1");
    cell.seam = seam->getId(true);
    seam->set<Pose>("pose", At(-150, 0, 10, kDown)); // in the bracket's frame
    seam->set<unsigned int>("anchor", cell.bracket);
    auto edge = seam->append("mfgedge");
    edge->set<std::string>("geometry/file_type", "brep");
    edge->set<std::string>("geometry/uri", "features/seam_1.brep");
    for (double t : {0.0, 1.0}) {
        auto vector = edge->append("vector");
        vector->set<double>("t", t);
        // Out of the material, between the base and the upright: the
        // feature's frame is turned half round about y, so the bracket's
        // (0, 1, 1) direction is (0, 1, -1) here.
        vector->set<Vec3>("ijk", Vec3{0, 0.7071067811865476, -0.7071067811865476});
    }

    auto operation = objects.add(cell.station, "operation", "Weld seam 1");
    operation->set<std::string>("type", "ContinuousMfg");
    operation->set<unsigned int>("mfgid", cell.seam);
    auto process = operation->append("process_edgeoperation")->append("edge");
    process->set<unsigned int>("bodyface/bodyid", cell.bracketBody);
    process->set<unsigned int>("bodyface/faceindex", 7);
    process->set<unsigned int>("edgeindex", 3);
    // The torch on the corner's bisector, pushed 10 degrees along the
    // travel, and spun half round so that its tilted neck points back
    // towards the robot as in the taught path (which runs the same way).
    auto gen = operation->append("path_gen");
    gen->set<double>("work_angle", 0);
    gen->set<double>("travel_angle", 10);
    gen->set<double>("spin_angle", 180);
    gen->set<double>("target_spacing", 20);
    gen->set<unsigned int>("speed", cell.speed);
    gen->set<unsigned int>("zone", cell.zone);
    gen->set<unsigned int>("workobject", cell.workObject);
    gen->set<unsigned int>("tooldata", cell.toolData);
    operation->append("approach_retract")->set<double>("approach_distance", 30);
}

void AddSensor(Objects& objects, Cell& cell)
{
    auto sensor = objects.add(cell.station, "smart_component", "PartSensor");
    cell.sensor = sensor->getId(true);
    sensor->set<std::string>("description", "Light barrier that reports a bracket on the table");
    sensor->set<Pose>("pose", At(900, -400, 780));
    sensor->set<std::string>("type", "LineSensor");
    auto range = objects.add(sensor, "property", "Range");
    range->set<std::string>("description", "Length of the light beam");
    range->set<std::string>("type", "Double");
    range->set<double>("value", 800);
    range->set<std::string>("unit", "mm");
    auto direction = objects.add(sensor, "property", "Direction");
    direction->set<std::string>("description", "Direction of the beam");
    direction->set<std::string>("type", "Vector3");
    direction->set<Vec3>("value", Vec3{0, 1, 0});
    auto active = objects.add(sensor, "signal", "Active");
    cell.sensorActive = active->getId(true);
    active->set<std::string>("description", "Turns the sensor on");
    active->set<std::string>("type", "DigitalInput");
    active->set<int>("value", 1);
    auto out = objects.add(sensor, "signal", "SensorOut");
    cell.sensorOut = out->getId(true);
    out->set<std::string>("description", "High while a part breaks the beam");
    out->set<std::string>("type", "DigitalOutput");
    out->set<int>("value", 0);
    auto connection = sensor->append("connection");
    connection->setId(1);
    connection->set<std::uint64_t>("source", (std::uint64_t{cell.sensor} << 32) | cell.sensorOut);
    connection->set<std::uint64_t>("destination", (std::uint64_t{cell.controller} << 32) | cell.gunOn);
}

// A STEP part (made by SampleCad) with an operation on one of its faces'
// edges: the angle's inner corner, where the base's top (face 2) meets the
// upright. Added last, so that the ids of everything before stay.
void AddAngle(Objects& objects, Cell& cell)
{
    auto angle = objects.add(cell.station, "part", "Angle 200");
    angle->set<std::string>("uri", "geometry/angle_200.step");
    // Turned half round about z, so that its base reaches towards the
    // robot's side of the table.
    angle->set<Pose>("pose", At(900, 280, 760, {0, 0, 0, 1}));
    auto body = objects.add(angle, "body", "Angle");
    const unsigned bodyId = body->getId(true);
    body->set<std::string>("geometry/file_type", "step");
    body->set<std::string>("geometry/uri", "geometry/angle_200.step");
    body->append("visual")->set<std::string>("material/name", "Steel S235");

    auto operation = objects.add(cell.station, "operation", "Weld angle corner");
    operation->set<std::string>("type", "ContinuousMfg");
    auto edge = operation->append("process_edgeoperation")->append("edge");
    edge->set<unsigned int>("bodyface/bodyid", bodyId);
    edge->set<unsigned int>("bodyface/faceindex", kAngleFace);
    edge->set<unsigned int>("edgeindex", kAngleEdge);
    edge->set<bool>("reversed", kAngleReversed);
    // The face's normal is the base's; the work angle leans the torch
    // onto the corner's bisector.
    auto gen = operation->append("path_gen");
    gen->set<double>("work_angle", kAngleWork);
    gen->set<double>("travel_angle", 10);
    gen->set<double>("spin_angle", kAngleSpin);
    gen->set<double>("target_spacing", 20);
    gen->set<unsigned int>("speed", cell.speed);
    gen->set<unsigned int>("zone", cell.zone);
    gen->set<unsigned int>("workobject", cell.workObject);
    gen->set<unsigned int>("tooldata", cell.toolData);
    operation->append("approach_retract")->set<double>("approach_distance", 30);
}

void AddSimulation(Objects& objects, Cell& cell)
{
    auto attachment = objects.add(cell.station, "attachment", "WeldGun on wrist");
    attachment->set<unsigned int>("source_id", cell.tool);
    attachment->set<unsigned int>("target_id", cell.wrist);

    auto simulation = cell.station->append("simulation");
    auto scenario = simulation->appendObject("scenario", objects.take(), "Weld one bracket");
    Objects::adopt(cell.station, scenario);
    auto controller = scenario->append("controller");
    controller->set<unsigned int>("id", cell.controller);
    controller->append("task")->set<unsigned int>("id", cell.task);
    scenario->append("smart_component")->set<unsigned int>("id", cell.sensor);
    simulation->set<unsigned int>("active_scenario_id", scenario->getId(true));

    auto state = simulation->appendObject("state", objects.take(), "Start");
    Objects::adopt(cell.station, state);
    state->set<bool>("auto_saved", true);
    state->set<std::string>("description", "Before simulation");
    state->set<std::uint64_t>("timestamp", 1767225600000ULL);
    auto mechanism = state->append("mechanism");
    mechanism->set<unsigned int>("id", cell.robot);
    for (unsigned i = 1; i <= 6; ++i) {
        auto joint = mechanism->append("joint");
        joint->set<unsigned int>("index", i);
        joint->set<double>("value", i == 5 ? 0.5236 : 0.0);
    }
}

} // namespace

std::shared_ptr<Element> BuildSampleCell()
{
    auto root = SDF::SpawnFromRootTemplate()->Root();
    Cell cell;
    cell.station = root->append("station");
    cell.station->setId(1);
    cell.station->set<std::string>("name", "Sample welding cell");
    cell.station->set<Pose>("last_viewpoint_pose", At(-1690, -2330, 3020, {0.8782, -0.1198, 0.2794, 0.3692}));
    Objects objects;
    AddRobot(objects, cell);
    AddTool(objects, cell);
    AddParts(objects, cell);
    AddController(objects, cell);
    AddProgram(objects, cell);
    AddFeatureAndOperation(objects, cell);
    AddSensor(objects, cell);
    AddSimulation(objects, cell);
    objects.add(cell.station, "view_point", "Front")->set<Pose>("pose", At(-2500, 0, 1500));
    AddAngle(objects, cell);
    cell.station->get("visibility")->append("objectid")->setValue(cell.seam);
    cell.station->set<unsigned int>("next_dataid", objects.next());
    return root;
}

} // namespace sdf::testing
