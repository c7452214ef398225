#pragma once

// The work behind GenerateStation: fills one `station` element. Split by
// subject over StationBuilder*.cpp; ids come from one counter, and every
// object records its container as `parent` and is listed by the container
// in a `child` element, as the object model keeps them.

#include "GeneratorRandom.h"
#include "StationGenerator.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf::testing {

class StationBuilder
{
public:
    StationBuilder(const GeneratorOptions& options, std::shared_ptr<Element> station);

    void build();

private:
    using ElementPtr = std::shared_ptr<Element>;

    // What later parts of the station refer to, by id.
    struct RobotCell
    {
        unsigned index = 0;
        std::string vendor;
        std::string model;
        unsigned manipulator = 0;
        std::vector<unsigned> links;
        std::vector<unsigned> joints;
        unsigned wrist = 0;
        unsigned tool = 0;
        unsigned controller = 0;
        unsigned robotUnit = 0;
        unsigned unitGroup = 0;
        std::vector<unsigned> controllerSignals;
        unsigned task = 0;
        // Data items of the program task that instructions and operations
        // refer to.
        unsigned toolData = 0;
        unsigned workObject = 0;
        unsigned speed = 0;
        unsigned zone = 0;
    };

    struct SmartComponent
    {
        unsigned id = 0;
        std::string name;
        std::vector<unsigned> properties;
        std::vector<unsigned> signals;
    };

    // ---- plumbing (StationBuilder.cpp) ---------------------------------
    unsigned nextId() { return _nextId++; }
    // A new object in container with an id and a name. Its object parent
    // is the container unless given: the parent's id goes into `parent`
    // and the parent lists the new id in a `child` element.
    ElementPtr addObject(const ElementPtr& container, std::string_view label, std::string_view name,
                         const ElementPtr& objectParent = nullptr);
    // Makes parent the object parent of child.
    void adopt(const ElementPtr& parent, const ElementPtr& child);
    unsigned idOf(const ElementPtr& element) const;
    void addUserFile(const ElementPtr& object, std::string_view stem);
    std::string comment();

    // ---- cell models (StationBuilderModels.cpp) --------------------------
    void addManipulator(RobotCell& cell);
    // Returns the last link, the one that carries the flange.
    ElementPtr addLinksAndJoints(const ElementPtr& mechanism, unsigned joints, bool prismatic,
                                 std::vector<unsigned>* linkIds, std::vector<unsigned>* jointIds);
    void addMechanismPoses(const ElementPtr& mechanism, unsigned joints);
    void addTool(RobotCell& cell);
    void addDevice(unsigned index);
    void addPart(unsigned index);
    void addAssembly(unsigned index);
    void addPointCloud(unsigned index);

    // ---- controllers and programs (StationBuilderPrograms.cpp) -------------
    void addController(RobotCell& cell);
    void addSignal(const ElementPtr& owner, std::string_view name, unsigned kind, std::vector<unsigned>* ids);
    void addProgramTask(RobotCell& cell);
    void addDataItems(const ElementPtr& task, RobotCell& cell);
    ElementPtr addPath(const ElementPtr& task, std::string_view name, const ElementPtr& objectParent,
                       unsigned instructions);
    void addMoveInstruction(const ElementPtr& path, unsigned number);
    void addLogicInstruction(const ElementPtr& path);
    void addOperation(const ElementPtr& container, const RobotCell* cell, unsigned index);
    void addProcessBlock(const ElementPtr& operation, unsigned kind);

    // ---- smart components, features, simulation (StationBuilderScene.cpp) --
    void addSmartComponent(unsigned index);
    void addFrame(unsigned index);
    void addViewPoint(unsigned index);
    void addAttachment(unsigned source, unsigned target);
    void addCollisionSet(unsigned index);
    void addFeature(unsigned index);
    void addRegion(unsigned index);
    void addSimulation();
    void addState(const ElementPtr& simulation, unsigned index);
    void addVisibility();

    GeneratorOptions _options;
    GeneratorRandom _rng;
    ElementPtr _station;
    unsigned _nextId = 1;

    std::vector<RobotCell> _cells;
    std::vector<unsigned> _parts;
    std::vector<unsigned> _bodies;
    std::vector<unsigned> _devices;
    std::vector<unsigned> _deviceFrames;
    std::vector<unsigned> _frames;
    std::vector<unsigned> _features;
    std::vector<SmartComponent> _smartComponents;
    std::vector<unsigned> _operations;
};

} // namespace sdf::testing
