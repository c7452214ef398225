// Smart components, frames, viewpoints, attachments, collision sets,
// manufacturing features, regions, the simulation with its saved states and
// the list of hidden objects.

#include "RobotValues.h"
#include "StationBuilder.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>

namespace sdf::testing {

namespace {

struct ComponentKind
{
    std::string_view type;
    std::string_view description;
};

constexpr std::array<ComponentKind, 4> kComponents{{
    {"Conveyor", "Moves parts along the belt & stops them at the sensor"},
    {"LineSensor", "Detects parts crossing the light barrier"},
    {"Source", "Creates a copy of the source part on each trigger"},
    {"GripperLogic", "Attaches the nearest part when the <grip> signal rises"},
}};

// The id pair of a connection end: component in the high half, signal or
// property in the low half.
std::uint64_t Endpoint(unsigned component, unsigned member)
{
    return (static_cast<std::uint64_t>(component) << 32) | member;
}

} // namespace

void StationBuilder::addSmartComponent(unsigned index)
{
    const ComponentKind& kind = kComponents[index % kComponents.size()];
    SmartComponent info;
    info.name = fmt::format("{}_{}", kind.type, index + 1);
    auto component = addObject(_station, "smart_component", info.name);
    info.id = idOf(component);
    component->set<std::string>("description", std::string(kind.description));
    component->set<Pose>("pose", RandomPose(_rng, 2500));
    component->set<std::string>("type", std::string(kind.type));

    auto property = [&](std::string_view name, std::string_view type, std::string_view unit) {
        auto p = addObject(component, "property", name);
        info.properties.push_back(idOf(p));
        p->set<std::string>("description", fmt::format("{} of the {}", name, kind.type));
        p->set<std::string>("type", std::string(type));
        if (!unit.empty())
            p->set<std::string>("unit", std::string(unit));
        return p;
    };
    // Every value type a property can hold, as the component editor offers
    // them.
    property("Speed", "Double", "mm/s")->set<double>("value", _rng.rounded(50, 800, 0));
    property("Enabled", "Boolean", "")->set<bool>("value", true);
    property("Direction", "Vector3", "")->set<Vec3>("value", RandomAxis(_rng));
    property("Offset", "Position", "mm")->set<Pos>("value", RandomPosition(_rng, 100));
    property("Tilt", "Orientation", "")->set<Orient>("value", RandomOrientation(_rng));
    property("DropPose", "Pose", "")->set<Pose>("value", RandomPose(_rng, 800));
    property("Count", "UInt32", "")->set<unsigned int>("value", _rng.below(1000));
    property("Step", "Int32", "")->set<int>("value", _rng.between(-10, 10));
    property("SerialNumber", "UInt64", "")->set<std::uint64_t>("value", 9'000'000'000ULL + _rng.below(1'000'000));
    property("SourcePart", "String", "")
        ->set<std::string>("value", _parts.empty() ? std::string("none") : fmt::format("#{}", _parts.front()));
    auto label = property("Label", "String", "");
    label->set<std::string>("value", "");
    label->set<bool>("read_only", true);
    label->set<bool>("uivisible", false);

    auto signal = [&](std::string_view name, std::string_view type, bool input) {
        auto s = addObject(component, "signal", name);
        info.signals.push_back(idOf(s));
        s->set<std::string>("description", input ? "Input signal" : "Output signal");
        s->set<std::string>("type", std::string(type));
        s->set<bool>("auto_reset", !input && _rng.chance(0.5));
        s->set<bool>("uivisible", true);
        return s;
    };
    signal("Execute", "DigitalInput", true)->set<int>("value", 0);
    signal("Executed", "DigitalOutput", false)->set<int>("value", 1);
    signal("Level", "AnalogOutput", false)->set<double>("value", _rng.rounded(0, 24, 1));

    // Inputs drive the component's own logic; the outputs feed the
    // previous component.
    for (unsigned i = 0; i < info.signals.size(); ++i) {
        auto connection = component->append("connection");
        connection->setId(i + 1);
        connection->set<unsigned int>("index", i);
        connection->set<std::uint64_t>("source", Endpoint(info.id, info.signals[i]));
        const SmartComponent& target = _smartComponents.empty() ? info : _smartComponents.back();
        connection->set<std::uint64_t>("destination",
                                       Endpoint(target.id, target.properties[i % target.properties.size()]));
    }
    double x = 40;
    for (unsigned id : info.properties) {
        component->append("xy")->setValue(Vec3{static_cast<double>(id), x, 60});
        x += 120;
    }
    if (!_parts.empty())
        component->set<unsigned int>("role_object", _parts.back());
    component->set<std::string>("document_type", "station");
    _smartComponents.push_back(std::move(info));
}

void StationBuilder::addFrame(unsigned index)
{
    auto frame = addObject(_station, "frame", index == 0 ? std::string("World_Ref") : fmt::format("Frame_{}", index));
    _frames.push_back(idOf(frame));
    frame->set<Pose>("pose", RandomPose(_rng, 3000));
    frame->set<unsigned int>("anchor", index > 0 && !_parts.empty() ? _parts[index % _parts.size()] : 0);
}

void StationBuilder::addViewPoint(unsigned index)
{
    auto view = addObject(_station, "view_point", index == 0 ? "Overview" : "Close-up tool");
    view->set<Pose>("pose", RandomPose(_rng, 5000));
}

void StationBuilder::addAttachment(unsigned source, unsigned target)
{
    auto attachment = addObject(_station, "attachment", fmt::format("Attach_{}_{}", source, target));
    attachment->set<unsigned int>("source_id", source);
    attachment->set<unsigned int>("target_id", target);
    attachment->set<Pose>("pose", {{0, 0, _rng.rounded(0, 50, 1)}, {}});
}

void StationBuilder::addCollisionSet(unsigned index)
{
    auto set = addObject(_station, "collisionset", fmt::format("CollisionSet_{}", index + 1));
    set->set<bool>("active", index == 0);
    set->set<std::string>("nearmiss", fmt::format("{:.1f}", _rng.rounded(1, 20, 1)));
    auto groupA = set->get("groupa");
    auto groupB = set->get("groupb");
    for (const RobotCell& cell : _cells) {
        groupA->append("object_id")->setValue(cell.manipulator);
        groupA->append("object_id")->setValue(cell.tool);
    }
    for (unsigned part : _parts)
        groupB->append("object_id")->setValue(part);
}

void StationBuilder::addFeature(unsigned index)
{
    auto feature = addObject(_station, "mfg", fmt::format("Seam_{}", index + 1));
    _features.push_back(idOf(feature));
    feature->set<Pose>("pose", RandomPose(_rng, 2000));
    feature->set<unsigned int>("anchor", _parts.empty() ? 0 : _parts[index % _parts.size()]);
    for (unsigned e = 0, edges = 1 + _rng.below(2); e < edges; ++e) {
        auto edge = feature->append("mfgedge");
        edge->set<std::string>("geometry/file_type", "brep");
        edge->set<std::string>("geometry/uri", fmt::format("features/seam_{}_{}.brep", index + 1, e + 1));
        for (unsigned v = 0, vectors = 2 + _rng.below(5); v < vectors; ++v) {
            auto vector = edge->append("vector");
            vector->set<double>("t", static_cast<double>(v) / (vectors - 1));
            vector->set<Vec3>("ijk", RandomAxis(_rng));
            vector->set<double>("twist", _rng.rounded(-10, 10, 1));
            vector->set<double>("tilt", _rng.rounded(-10, 10, 1));
        }
    }
    feature->set<double>("pathstart/distance", _rng.rounded(0, 10, 1));
    feature->set<double>("pathend/distance", _rng.rounded(0, 10, 1));
    feature->set<double>("pathend/tilt", 5);
}

void StationBuilder::addRegion(unsigned index)
{
    auto region = addObject(_station, "region", fmt::format("Region_{}", index + 1));
    for (unsigned s = 0, n = 1 + _rng.below(3); s < n; ++s) {
        auto sub = region->append("subregion");
        sub->setId(s + 1);
        sub->set<std::string>("name", fmt::format("Sub_{}", s + 1));
        sub->set<unsigned int>("face/bodyid", _bodies.empty() ? 0 : _bodies[_rng.below(_bodies.size())]);
        sub->set<unsigned int>("face/faceindex", _rng.below(30));
        sub->set<double>("boundary/isocurve/u1", _rng.rounded(0, 0.4, 2));
        sub->set<double>("boundary/isocurve/u2", _rng.rounded(0.6, 1, 2));
        sub->set<double>("boundary/isocurve/v1", 0);
        sub->set<double>("boundary/isocurve/v2", 1);
    }
}

void StationBuilder::addSimulation()
{
    auto simulation = _station->append("simulation");
    unsigned first = 0;
    for (unsigned s = 0; s < 2; ++s) {
        const unsigned id = nextId();
        first = first ? first : id;
        auto scenario = simulation->appendObject("scenario", id, s == 0 ? "Production cycle" : "Dry run");
        adopt(_station, scenario);
        for (const RobotCell& cell : _cells) {
            auto controller = scenario->append("controller");
            controller->set<unsigned int>("id", cell.controller);
            controller->set<std::string>("run_mode", s == 0 ? "Continuous" : "SingleCycle");
            auto task = controller->append("task");
            task->set<unsigned int>("id", cell.task);
            task->set<bool>("simulated", s == 0 || cell.index == 0);
        }
        for (const SmartComponent& component : _smartComponents)
            scenario->append("smart_component")->set<unsigned int>("id", component.id);
        scenario->set<std::string>("time_mode", s == 0 ? "FreeRun" : "TimeSlice");
    }
    simulation->set<unsigned int>("active_scenario_id", first);
    for (unsigned i = 0; i < 1 + _cells.size() / 4; ++i)
        addState(simulation, i);
}

void StationBuilder::addState(const ElementPtr& simulation, unsigned index)
{
    auto state = simulation->appendObject("state", nextId(), fmt::format("State_{}", index + 1));
    adopt(_station, state);
    state->set<bool>("auto_saved", index == 0);
    state->set<std::string>("description", index == 0 ? "Before simulation" : fmt::format("Saved state {}", index));
    state->set<std::uint64_t>("timestamp", 1'718'000'000'000ULL + index * 3'600'000ULL + _rng.below(60'000));
    for (const SmartComponent& component : _smartComponents) {
        auto saved = state->append("smart_component");
        saved->set<unsigned int>("id", component.id);
        saved->set<std::string>("name", component.name);
        auto property = saved->append("property");
        property->set<unsigned int>("id", component.properties.front());
        property->set<std::string>("name", "Speed");
        property->set<std::string>("value", "250");
        auto signal = saved->append("signal");
        signal->set<unsigned int>("id", component.signals.front());
        signal->set<std::string>("name", "Execute");
        signal->set<std::string>("value", "0");
        saved->set<Pose>("pose", RandomPose(_rng, 2500));
    }
    for (const RobotCell& cell : _cells) {
        auto controller = state->append("controller");
        controller->set<unsigned int>("id", cell.controller);
        for (unsigned id : cell.controllerSignals) {
            auto signal = controller->append("signal");
            signal->set<unsigned int>("id", id);
            signal->set<std::string>("name", fmt::format("sig{}", id));
            signal->set<std::string>("value", _rng.chance(0.3) ? "1" : "0");
        }
        auto mechanism = state->append("mechanism");
        mechanism->set<unsigned int>("id", cell.manipulator);
        for (unsigned j = 1; j <= cell.joints.size(); ++j) {
            auto joint = mechanism->append("joint");
            joint->set<unsigned int>("index", j);
            joint->set<double>("value", _rng.rounded(-1.5, 1.5, 4));
        }
    }
    for (unsigned part : _parts) {
        auto object = state->append("object");
        object->set<unsigned int>("id", part);
        object->set<std::string>("name", fmt::format("part {}", part));
        object->set<Pose>("pose", RandomPose(_rng, 2500));
    }
    if (!_cells.empty()) {
        auto attachment = state->append("attachment");
        attachment->set<unsigned int>("id", 1);
        attachment->set<unsigned int>("source_id", _cells.front().tool);
        attachment->set<unsigned int>("target_id", _cells.front().wrist);
    }
}

void StationBuilder::addVisibility()
{
    auto visibility = _station->get("visibility");
    if (!_frames.empty())
        visibility->append("objectid")->setValue(_frames.back());
    if (!_features.empty())
        visibility->append("objectid")->setValue(_features.front());
}

} // namespace sdf::testing
