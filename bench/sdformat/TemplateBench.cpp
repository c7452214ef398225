// How long the one-time build of the root template takes: parsing
// "root.sdf" and every file it includes, then building all templates.
// RootTemplate caches, so each iteration builds a fresh one.

#include <sdformat/Catalogue.h>
#include <sdformat/ElementTemplate.h>

#include <benchmark/benchmark.h>

namespace {

const sdf::DescriptionLookup catalogue = [](std::string_view fileName) -> const std::string& {
    return sdf::CatalogueText(fileName);
};

void BM_LoadRootDescription(benchmark::State& state)
{
    for (auto _ : state) {
        pugi::xml_document document;
        sdf::LoadDescription(document, "root.sdf", catalogue);
        benchmark::DoNotOptimize(document.first_child());
    }
}
BENCHMARK(BM_LoadRootDescription)->Unit(benchmark::kMillisecond);

void BM_BuildRootTemplate(benchmark::State& state)
{
    for (auto _ : state) {
        pugi::xml_document document;
        sdf::LoadDescription(document, "root.sdf", catalogue);
        sdf::ElementTemplate root(document.child("element"));
        benchmark::DoNotOptimize(root._children.data());
    }
}
BENCHMARK(BM_BuildRootTemplate)->Unit(benchmark::kMillisecond);

void BM_RootTemplateWhenBuilt(benchmark::State& state)
{
    sdf::RootTemplate();
    for (auto _ : state)
        benchmark::DoNotOptimize(&sdf::RootTemplate());
}
BENCHMARK(BM_RootTemplateWhenBuilt);

} // namespace

BENCHMARK_MAIN();
