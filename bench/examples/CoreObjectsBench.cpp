// What opening a station costs the Core plug-in beyond reading it: building
// and registering the objects and arranging their tree, and releasing them
// again, for generated stations of growing size.

#include "StationObjects.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

const std::shared_ptr<sdf::Element>& Station(std::size_t elements)
{
    static std::map<std::size_t, std::shared_ptr<sdf::Element>> made;
    auto& root = made[elements];
    if (!root)
        root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(elements));
    return root;
}

void BuildObjectTree(benchmark::State& state)
{
    const auto& root = Station(static_cast<std::size_t>(state.range(0)));
    std::size_t objects = 0;
    for (auto _ : state) {
        zrv::core::StationObjects tree(root);
        objects = tree.size();
        benchmark::DoNotOptimize(tree.roots().data());
    }
    state.counters["elements"] = static_cast<double>(sdf::testing::CountElements(*root));
    state.counters["objects"] = static_cast<double>(objects);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * objects));
}
BENCHMARK(BuildObjectTree)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
