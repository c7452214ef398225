// Controllers with their mechanical units, tasks and signals; program tasks
// with data items, paths, instructions and operations.

#include "RobotValues.h"
#include "StationBuilder.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace sdf::testing {

namespace {

// The kinds of signal a controller or smart component offers, with the
// value type each carries.
enum SignalKind : unsigned { DigitalOutput, DigitalInput, GroupOutput, AnalogOutput, SignalKinds };

constexpr std::array<std::string_view, 10> kProcessBlocks{
    "process_singleiso",     "process_multifacessection", "process_multipleiso",    "process_curveoffset",
    "process_edgeoperation", "process_radialcoverage",    "process_curveoperation", "process_facecontouring",
    "process_contouroffset", "process_layeredadditive",
};

} // namespace

void StationBuilder::addController(RobotCell& cell)
{
    auto controller = addObject(_station, "controller", fmt::format("RC_{}", cell.index + 1));
    cell.controller = idOf(controller);
    controller->set<Pose>("task_frame", {{cell.index * 3000.0, 0, 0}, {}});
    controller->set<unsigned int>("manipulator", cell.manipulator);

    auto unit = addObject(controller, "mechanical_unit", fmt::format("Arm_{}", cell.index + 1));
    cell.robotUnit = idOf(unit);
    unit->set<std::string>("type", "Robot");
    unit->set<unsigned int>("use_mechanism", cell.manipulator);
    for (unsigned i = 1; i <= cell.joints.size(); ++i) {
        auto joint = unit->append("joint");
        joint->set<unsigned int>("order", i);
        joint->set<unsigned int>("index", i);
        joint->set<unsigned int>("logical_axis", i);
        joint->set<Vec3>("xyz", i % 3 == 1 ? Vec3{0, 0, 1} : Vec3{0, 1, 0});
        joint->set<Pose>("pose", {{0, 0, i * 150.0}, {}});
        joint->set<std::string>("type", "revolute");
    }
    unit->set<Pose>("base_frame", {{0, 0, 0}, {}});
    unit->set<bool>("activated", true);

    std::vector<unsigned> deviceUnits;
    if (cell.index < _devices.size()) {
        // The positioner in front of the robot is an external axis of its
        // controller.
        auto station = addObject(controller, "mechanical_unit", fmt::format("Axes_{}", cell.index + 1));
        deviceUnits.push_back(idOf(station));
        station->set<std::string>("type", "Device");
        station->set<unsigned int>("use_mechanism", _devices[cell.index]);
        for (unsigned i = 1; i <= 2; ++i) {
            auto joint = station->append("joint");
            joint->set<unsigned int>("order", i);
            joint->set<unsigned int>("index", i);
            joint->set<unsigned int>("logical_axis", 6 + i);
            joint->set<Vec3>("xyz", i == 1 ? Vec3{1, 0, 0} : Vec3{0, 0, 1});
            joint->set<Pose>("pose", {{0, 0, i * 400.0}, {}});
        }
        station->set<unsigned int>("mounting_frame", _deviceFrames[cell.index]);
        station->set<Pose>("base_frame", {{1500, 1800, 0}, {}});
        station->set<bool>("activated", _rng.chance(0.8));
    }

    auto group = addObject(controller, "mechanical_unit_group", fmt::format("Motion_{}", cell.index + 1));
    cell.unitGroup = idOf(group);
    group->set<unsigned int>("robot_unit", cell.robotUnit);
    for (unsigned id : deviceUnits)
        group->append("device_unit")->setValue(id);

    auto task = controller->append("task");
    task->set<unsigned int>("task_id", 1);
    task->set<std::string>("entry", "main");
    for (std::string_view module : {"main", "routines", "calibration"})
        task->append("uri")->setValue(fmt::format("program/main_{}/{}.tvr", cell.index + 1, module));
    task->set<bool>("compiled", _rng.chance(0.9));
    task->set<std::string>("binary", fmt::format("main_{}.tbin", cell.index + 1));
    task->set<unsigned int>("use_mechanical_unit_group", cell.unitGroup);

    addSignal(controller, "doGunOn", DigitalOutput, &cell.controllerSignals);
    addSignal(controller, "diGunReady", DigitalInput, &cell.controllerSignals);
    addSignal(controller, "goProgramNo", GroupOutput, &cell.controllerSignals);
    addSignal(controller, "aoWireFeed", AnalogOutput, &cell.controllerSignals);
    for (unsigned i = 0, extra = _rng.below(4); i < extra; ++i)
        addSignal(controller, fmt::format("doClamp{}", i + 1), DigitalOutput, &cell.controllerSignals);
}

void StationBuilder::addSignal(const ElementPtr& owner, std::string_view name, unsigned kind,
                               std::vector<unsigned>* ids)
{
    auto signal = addObject(owner, "signal", name);
    if (ids)
        ids->push_back(idOf(signal));
    switch (kind) {
    case DigitalOutput:
        signal->set<std::string>("description", "Digital output");
        signal->set<std::string>("type", "DigitalOutput");
        signal->set<bool>("value", _rng.chance(0.3));
        break;
    case DigitalInput:
        signal->set<std::string>("description", "Digital input");
        signal->set<std::string>("type", "DigitalInput");
        signal->set<int>("value", _rng.chance(0.5) ? 1 : 0);
        break;
    case GroupOutput:
        signal->set<std::string>("description", "Group output, 8 bits");
        signal->set<std::string>("type", "GroupOutput");
        signal->set<unsigned int>("value", _rng.below(256));
        break;
    default:
        signal->set<std::string>("description", "Analog output (V)");
        signal->set<std::string>("type", "AnalogOutput");
        signal->set<double>("value", _rng.rounded(0, 10, 2));
        break;
    }
    signal->set<bool>("auto_reset", kind == DigitalOutput && _rng.chance(0.2));
    signal->set<bool>("uivisible", true);
}

void StationBuilder::addProgramTask(RobotCell& cell)
{
    auto task = addObject(_station, "task", fmt::format("Main_{}", cell.index + 1));
    cell.task = idOf(task);
    task->set<unsigned int>("wrist_id", cell.wrist);
    task->set<unsigned int>("controller_id", cell.controller);
    addDataItems(task, cell);
    for (unsigned p = 0; p < _options.pathsPerTask; ++p)
        addPath(task, fmt::format("Path_{}", (p + 1) * 10), task, _options.instructionsPerPath);
    for (unsigned o = 0; o < _options.operationsPerTask; ++o)
        addOperation(task, &cell, o);
}

void StationBuilder::addDataItems(const ElementPtr& task, RobotCell& cell)
{
    auto item = [&](std::string_view name) { return addObject(task, "dataitem", name); };

    auto tool = item("weldGun");
    cell.toolData = idOf(tool);
    tool->set<zrv::rob::ToolData>("value", RandomToolData(_rng));
    auto wobj = item("fixture");
    cell.workObject = idOf(wobj);
    wobj->set<zrv::rob::WObjData>("value", RandomWObjData(_rng));
    wobj->set<unsigned int>("oframeid", _frames.empty() ? 0 : _frames.front());
    // Speeds and zones that instructions name; the weld pair is also what
    // operations generate with.
    auto speed = item("speedWeld");
    cell.speed = idOf(speed);
    speed->set<zrv::rob::SpeedData>("value", StandardSpeed(_rng));
    item("speedTravel")->set<zrv::rob::SpeedData>("value", zrv::rob::SpeedData{1000, 500, 5000, 1000});
    auto zone = item("zoneWeld");
    cell.zone = idOf(zone);
    zone->set<zrv::rob::ZoneData>("value", StandardZone(_rng));
    item("zoneExact")->set<zrv::rob::ZoneData>("value", zrv::rob::ZoneData{});
    item("zoneTravel")->set<zrv::rob::ZoneData>("value", zrv::rob::ZoneData{false, 50, 75, 75, 7.5, 75, 7.5});
    auto home = item("homeTarget");
    home->set<zrv::rob::RobTarget>("value", RandomRobTarget(_rng));
    if (!_parts.empty())
        home->set<unsigned int>("anchor", _parts[cell.index % _parts.size()]);
    item("homeJoints")->set<zrv::rob::JointTarget>("value", RandomJointTarget(_rng));

    // The remaining value types, as program variables hold them.
    auto builtin = item("gunIsOn");
    builtin->set<bool>("is_builtin", false);
    builtin->set<bool>("value", false);
    item("cycle")->set<int>("value", _rng.between(-5, 500));
    item("partCount")->set<unsigned int>("value", _rng.below(100000));
    item("serial")->set<std::uint64_t>("value", 0x1000'0000'0000ULL + _rng.below(1U << 30));
    item("seamLength")->set<double>("value", _rng.rounded(10, 900, 2));
    item("programName")->set<std::string>("value", fmt::format("weld_{}", cell.index + 1));
    // An empty string is a value of its own, not a missing one.
    item("lastError")->set<std::string>("value", "");
    item("approachDirection")->set<Vec3>("value", RandomAxis(_rng));
    item("offset")->set<Pos>("value", RandomPosition(_rng, 50));
    item("tilt")->set<Orient>("value", RandomOrientation(_rng));
    item("fixturePose")->set<Pose>("value", RandomPose(_rng, 1500));
}

StationBuilder::ElementPtr StationBuilder::addPath(const ElementPtr& task, std::string_view name,
                                                   const ElementPtr& objectParent, unsigned instructions)
{
    auto path = addObject(task, "path", name, objectParent);
    for (unsigned i = 0; i < instructions; ++i) {
        if (i > 0 && _rng.chance(0.12))
            addLogicInstruction(path);
        else
            addMoveInstruction(path, i);
    }
    return path;
}

void StationBuilder::addMoveInstruction(const ElementPtr& path, unsigned number)
{
    const bool first = number == 0;
    const std::string_view call = first ? "Movej" : _rng.pick({"Movel", "Movel", "Movel", "WeldLine", "Movec"});
    auto instruction = addObject(path, "instruction", call);
    auto argument = [&](std::string_view name) { return addObject(instruction, "argument", name); };

    if (call == "Movec")
        argument("via")->set<zrv::rob::RobTarget>("value", RandomRobTarget(_rng));
    if (_rng.chance(0.8))
        argument("target")->set<zrv::rob::RobTarget>("value", RandomRobTarget(_rng));
    else
        argument("target")->set<std::string>("value", fmt::format("Target_{}", number * 10));
    if (_rng.chance(0.7))
        argument("speed")->set<std::string>("value", first ? "speedTravel" : "speedWeld");
    else
        argument("speed")->set<zrv::rob::SpeedData>("value", StandardSpeed(_rng));
    if (_rng.chance(0.6))
        argument("zone")->set<std::string>("value", _rng.pick({"zoneExact", "zoneTravel", "zoneWeld"}));
    else
        argument("zone")->set<zrv::rob::ZoneData>("value", StandardZone(_rng));
    argument("tool")->set<std::string>("value", "weldGun");
    // Optional arguments the call leaves out are kept with an empty value.
    argument("wobj")->set<std::string>("value", _rng.chance(0.5) ? "fixture" : "");
    if (call == "WeldLine") {
        argument("process")->set<std::string>("value", "weldProcess1");
        argument("weave")->set<std::string>("value", "weaveNone");
    }
    instruction->set<std::string>("source", _rng.chance(0.7) ? "user taught" : "generated");
    if (_rng.chance(0.2))
        instruction->set<std::string>("comment", comment());
}

void StationBuilder::addLogicInstruction(const ElementPtr& path)
{
    auto argument = [&](const ElementPtr& instruction, std::string_view name) {
        return addObject(instruction, "argument", name);
    };
    switch (_rng.below(3)) {
    case 0: {
        auto set = addObject(path, "instruction", "SetOutput");
        argument(set, "signal")->set<std::string>("value", "doGunOn");
        argument(set, "value")->set<int>("value", _rng.chance(0.5) ? 1 : 0);
        break;
    }
    case 1: {
        auto wait = addObject(path, "instruction", "Wait");
        argument(wait, "seconds")->set<double>("value", _rng.rounded(0.1, 2, 1));
        argument(wait, "inPosition")->set<bool>("value", _rng.chance(0.5));
        break;
    }
    default: {
        auto wait = addObject(path, "instruction", "WaitInput");
        argument(wait, "signal")->set<std::string>("value", "diGunReady");
        argument(wait, "value")->set<int>("value", 1);
        argument(wait, "timeout")->set<double>("value", 5);
        wait->set<std::string>("comment", "gun must be ready");
        break;
    }
    }
}

void StationBuilder::addOperation(const ElementPtr& container, const RobotCell* cell, unsigned index)
{
    const unsigned kind = static_cast<unsigned>(_operations.size() % kProcessBlocks.size());
    auto operation = addObject(container, "operation", fmt::format("Op_{}_{}", kProcessBlocks[kind].substr(8), index + 1));
    _operations.push_back(idOf(operation));
    operation->set<std::string>("type", _rng.pick({"Compound", "Generic", "ContinuousCompound", "ContinuousMfg"}));
    if (!_features.empty())
        operation->set<unsigned int>("mfgid", _features[_rng.below(_features.size())]);
    addProcessBlock(operation, kind);

    auto gen = operation->append("path_gen");
    const bool spherical = _rng.chance(0.3);
    gen->set<std::string>("path_alignment_method", spherical ? "spherical_interpolation" : "profile_tracking");
    gen->set<bool>("z_rotation", spherical && _rng.chance(0.5));
    gen->set<std::string>("orientation_configuration", _rng.chance(0.5) ? "fixed_orientation" : "linear_interpolation");
    gen->set<double>("travel_angle", _rng.rounded(-15, 15, 1));
    gen->set<double>("work_angle", _rng.rounded(30, 60, 1));
    gen->set<double>("spin_angle", _rng.rounded(-180, 180, 0));
    gen->set<double>("normal_offset", _rng.rounded(0, 5, 1));
    gen->set<std::string>("approximation_type", _rng.pick({"Linear", "Circular", "Constant"}));
    gen->set<double>("min_distance", 0.5);
    gen->set<double>("tolerance", 0.05);
    gen->set<double>("target_spacing", _rng.rounded(5, 50, 0));
    if (cell) {
        gen->set<unsigned int>("speed", cell->speed);
        gen->set<unsigned int>("zone", cell->zone);
        gen->set<unsigned int>("workobject", cell->workObject);
        gen->set<unsigned int>("tooldata", cell->toolData);
    }
    if (_rng.chance(0.5)) {
        auto entryExit = operation->append("entry_exit");
        entryExit->set<bool>("entry_enabled", true);
        entryExit->set<std::string>("entry_method", _rng.pick({"TangentLine", "PerpendicularLine", "Arc", "LineAndArc"}));
        entryExit->set<double>("entry_line_length", _rng.rounded(5, 30, 0));
        entryExit->set<bool>("exit_enabled", true);
        entryExit->set<std::string>("exit_side", "Left");
    }
    if (_rng.chance(0.6)) {
        auto approach = operation->append("approach_retract");
        approach->set<bool>("enabled", true);
        approach->set<unsigned int>("axis", 5);
        approach->set<double>("clearance_distance", _rng.rounded(50, 300, 0));
        approach->set<double>("approach_distance", _rng.rounded(20, 100, 0));
        if (cell)
            approach->set<unsigned int>("approach_speed", cell->speed);
    }
    if (_rng.chance(0.3))
        operation->set<std::string>("comment", comment());

    // An operation of a program task has projected its path into the task;
    // the path belongs to the operation.
    if (cell) {
        auto path = addPath(container, fmt::format("Op{}_path", _operations.size()), operation,
                            2 + _rng.below(std::max(1U, _options.instructionsPerPath)));
        operation->set<unsigned int>("pathid", idOf(path));
    }
}

void StationBuilder::addProcessBlock(const ElementPtr& operation, unsigned kind)
{
    auto block = operation->append(kProcessBlocks[kind]);
    auto face = [&](const ElementPtr& under, std::string_view label) {
        auto bodyFace = under->append(label);
        bodyFace->set<unsigned int>("bodyid", _bodies.empty() ? 0 : _bodies[_rng.below(_bodies.size())]);
        bodyFace->set<unsigned int>("faceindex", _rng.below(48));
        return bodyFace;
    };
    auto faces = [&](const ElementPtr& under) {
        for (unsigned i = 0, n = 1 + _rng.below(3); i < n; ++i)
            face(under, "bodyface");
    };
    // Blocks that cover faces with iso curves share the range and drive
    // settings; their required parts exist already.
    auto rangeAndDrive = [&] {
        block->set<bool>("machining_range/use_percentage", true);
        block->set<double>("machining_range/start_cut", _rng.rounded(0, 10, 1));
        block->set<double>("machining_range/end_cut", _rng.rounded(90, 100, 1));
        block->set<std::string>("drive_settings/stepover_type", _rng.chance(0.5) ? "Constant" : "Number");
        block->set<double>("drive_settings/stepover", _rng.rounded(2, 20, 1));
        block->set<std::string>("drive_settings/motion_pattern", _rng.chance(0.5) ? "Zig" : "ZigZag");
    };
    switch (kind) {
    case 0:
        faces(block);
        block->set<std::string>("iso_direction_order/direction", _rng.pick({"PositiveU", "NegativeU", "PositiveV"}));
        block->set<std::string>("iso_direction_order/order", "PositiveV");
        rangeAndDrive();
        break;
    case 1:
        faces(block);
        block->set<std::string>("section_direction", _rng.pick({"X", "Y", "Z"}));
        rangeAndDrive();
        break;
    case 2:
        faces(block);
        block->set<std::string>("iso_direction/direction", "NegativeV");
        rangeAndDrive();
        break;
    case 3:
        block->set<std::string>("base_curve_type", _rng.chance(0.5) ? "Edge" : "CurveOnSurface");
        faces(block);
        block->set<Pos>("startpoint", RandomPosition(_rng, 300));
        block->set<Pos>("endpoint", RandomPosition(_rng, 300));
        block->set<double>("spacing", _rng.rounded(1, 10, 1));
        block->set<unsigned int>("positive_curves", _rng.below(5));
        block->set<unsigned int>("negative_curves", _rng.below(5));
        break;
    case 4:
        for (unsigned i = 0, n = 1 + _rng.below(4); i < n; ++i) {
            auto edge = block->append("edge");
            face(edge, "bodyface");
            edge->set<unsigned int>("edgeindex", _rng.below(12));
            edge->set<bool>("reversed", _rng.chance(0.3));
        }
        break;
    case 5:
        block->set<std::string>("guideline_type", "InnerBoundary");
        face(block, "bodyface");
        for (unsigned i = 0, n = 1 + _rng.below(3); i < n; ++i)
            face(block->append("sideface"), "bodyface");
        block->set<bool>("reverse_order", true);
        rangeAndDrive();
        break;
    case 6: {
        const bool user = _rng.chance(0.3);
        block->set<std::string>("reference_plane", user ? "UserSelected" : "XY");
        if (user)
            face(block, "bodyface");
        for (unsigned i = 0, n = 1 + _rng.below(3); i < n; ++i) {
            auto curve = block->append("curve");
            curve->set<unsigned int>("bodyid", _bodies.empty() ? 0 : _bodies.back());
            curve->set<bool>("reversed", _rng.chance(0.2));
        }
        break;
    }
    case 7:
        faces(block);
        block->set<double>("area_lower", _rng.rounded(0, 100, 1));
        block->set<unsigned int>("area_level", _rng.below(4));
        break;
    case 8:
        faces(block);
        block->set<double>("stepover", _rng.rounded(2, 15, 1));
        break;
    default:
        block->set<unsigned int>("build_body_id", _bodies.empty() ? 0 : _bodies.front());
        block->set<unsigned int>("guide_face/bodyid", _bodies.empty() ? 0 : _bodies.front());
        block->set<unsigned int>("guide_face/faceindex", 2);
        block->set<double>("layer_thickness", 1.2);
        block->set<double>("path_stepover", 2.5);
        block->set<std::string>("layer_path_pattern", "VIso");
        block->set<double>("wall_width", 4);
        block->set<bool>("align_target_normal_to_z", false);
        break;
    }
}

} // namespace sdf::testing
