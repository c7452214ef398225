#include "StationBuilder.h"

#include "RobotValues.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>

namespace sdf::testing {

StationBuilder::StationBuilder(const GeneratorOptions& options, std::shared_ptr<Element> station)
    : _options(options), _rng(options.seed), _station(std::move(station))
{
}

void StationBuilder::build()
{
    _station->setId(nextId());
    _station->set<std::string>("name", fmt::format("Cell {} - {} robots", _options.seed % 1000, _options.robots));
    _station->set<Pose>("last_viewpoint_pose", {{-3500, 2800, 2400}, {0.8446231986242131, -0.1913417161825449,
                                                                     0.4619397662556434, 0.1913417161825449}});

    const unsigned robots = std::max(1U, _options.robots);
    _cells.resize(robots);
    for (unsigned i = 0; i < robots; ++i) {
        RobotCell& cell = _cells[i];
        cell.index = i;
        addManipulator(cell);
        addTool(cell);
    }
    for (unsigned i = 0; i < 1 + robots / 2; ++i)
        addDevice(i);
    // Controllers come after the devices, whose axes they drive as well.
    for (RobotCell& cell : _cells)
        addController(cell);
    for (unsigned i = 0; i < robots * _options.partsPerRobot; ++i)
        addPart(i);
    for (unsigned i = 0; i < 1 + robots / 4; ++i)
        addAssembly(i);
    addPointCloud(0);
    for (unsigned i = 0; i < 1 + robots / 2; ++i)
        addSmartComponent(i);
    for (unsigned i = 0; i < 2 + robots; ++i)
        addFrame(i);
    for (unsigned i = 0; i < 2 * robots; ++i)
        addFeature(i);
    for (unsigned i = 0; i < robots; ++i)
        addRegion(i);
    for (RobotCell& cell : _cells)
        addProgramTask(cell);
    for (unsigned i = 0; i < 1 + robots / 2; ++i)
        addOperation(_station, nullptr, i);
    for (const RobotCell& cell : _cells)
        addAttachment(cell.tool, cell.wrist);
    if (!_parts.empty() && !_devices.empty())
        addAttachment(_parts.front(), _devices.front());
    for (unsigned i = 0; i < 1 + robots / 3; ++i)
        addCollisionSet(i);
    addViewPoint(0);
    addViewPoint(1);
    addSimulation();
    addVisibility();
    _station->set<unsigned int>("next_dataid", _nextId);
}

StationBuilder::ElementPtr StationBuilder::addObject(const ElementPtr& container, std::string_view label,
                                                     std::string_view name, const ElementPtr& objectParent)
{
    auto object = container->appendObject(label, nextId(), name);
    adopt(objectParent ? objectParent : container, object);
    return object;
}

void StationBuilder::adopt(const ElementPtr& parent, const ElementPtr& child)
{
    child->set<unsigned int>("parent", idOf(parent));
    parent->append("child")->setValue(idOf(child));
}

unsigned StationBuilder::idOf(const ElementPtr& element) const { return element->getId(true); }

void StationBuilder::addUserFile(const ElementPtr& object, std::string_view stem)
{
    auto file = object->append("user_file");
    file->set<std::string>("file_name", fmt::format("{}.pdf", stem));
    file->set<std::string>("uri", fmt::format("userfiles/{}/{}.pdf", idOf(object), stem));
}

std::string StationBuilder::comment()
{
    // What people write into comments, including the characters that need
    // escaping in XML and text that is not ASCII.
    static constexpr std::string_view kComments[] = {
        "",
        "check clearance to fixture",
        "taught by J. O'Neill",
        "seam A & B",
        "speed < 200 near clamp",
        "\"exact\" stop before gripper opens",
        "Schweißnaht links, Überlappung prüfen",
        "焊缝 3 起点",
        "  indented note  ",
        "first line\nsecond line",
        "tab\tseparated",
        "a > b && c <= d; x='1'",
    };
    return std::string(_rng.pick(std::span<const std::string_view>(kComments)));
}

} // namespace sdf::testing
