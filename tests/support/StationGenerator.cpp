#include "StationGenerator.h"

#include "StationBuilder.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <algorithm>
#include <cmath>

namespace sdf::testing {

std::shared_ptr<Element> GenerateStation(const GeneratorOptions& options)
{
    auto root = SDF::SpawnFromRootTemplate()->Root();
    StationBuilder(options, root->append("station")).build();
    return root;
}

std::size_t CountElements(const Element& element)
{
    std::size_t count = 1;
    for (const auto& child : element.elements())
        count += CountElements(*child);
    return count;
}

GeneratorOptions GeneratorOptions::ForElementCount(std::size_t elements, std::uint64_t seed)
{
    GeneratorOptions options;
    options.seed = seed;
    // Big stations have more robots, but most of their bulk is program:
    // paths of instructions.
    options.robots = static_cast<unsigned>(std::clamp<std::size_t>(elements / 30000 + 1, 1, 16));
    options.instructionsPerPath = 12;

    // Measure what the fixed part costs, guess the number of paths from a
    // few, then correct the guess once with the cost per path seen at that
    // size (paths differ in their instructions, so a few are a rough
    // sample).
    auto count = [&](unsigned paths) {
        options.pathsPerTask = paths;
        return static_cast<double>(CountElements(*GenerateStation(options)));
    };
    const auto target = static_cast<double>(elements);
    const double base = count(0);
    if (target <= base)
        return options;
    auto pathsFor = [&](double perPath) {
        return static_cast<unsigned>(std::max(0L, std::lround((target - base) / perPath)));
    };
    const unsigned sample = 4;
    const unsigned guess = pathsFor((count(sample) - base) / sample);
    options.pathsPerTask = guess > 0 ? pathsFor((count(guess) - base) / guess) : 0;
    return options;
}

} // namespace sdf::testing
