#pragma once

// Builds large, realistic station documents for tests and benchmarks: robot
// cells (manipulator with links, joints and wrist, tool, controller, program
// task with paths and instructions), parts, devices, smart components,
// operations with process blocks, features, regions and simulation states.
// Every station holds annotated values of all registered value types, empty
// strings among them. The same options always give the same document.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace sdf {
class Element;
}

namespace sdf::testing {

struct GeneratorOptions
{
    std::uint64_t seed = 1;
    // Each robot brings a manipulator, a tool, a controller and a program
    // task; the station-wide objects (devices, smart components, frames,
    // simulation) grow with it more slowly.
    unsigned robots = 2;
    unsigned pathsPerTask = 3;
    unsigned instructionsPerPath = 6;
    unsigned partsPerRobot = 2;
    unsigned operationsPerTask = 2;

    // Options whose station holds roughly that many elements (within a few
    // per cent for large counts; small counts give at least one robot).
    static GeneratorOptions ForElementCount(std::size_t elements, std::uint64_t seed = 1);
};

// The `sdf` root element of a new station document.
std::shared_ptr<Element> GenerateStation(const GeneratorOptions& options);

// The element and all its descendants.
std::size_t CountElements(const Element& element);

} // namespace sdf::testing
