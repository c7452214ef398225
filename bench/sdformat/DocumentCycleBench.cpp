// Reading, dropping and writing a large station over and over as an
// application does, with glibc's heap at its defaults. Unlike
// document_bench, which pins the heap's limits to compare work with
// pugixml's, this shows what the heap's policy adds: memory handed back to
// the system after one document and taken again, page by page, for the
// next.
//
//   cmake --build build/release --target document_cycle_bench
//   build/release/bench/sdformat/document_cycle_bench

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

struct Document
{
    std::shared_ptr<sdf::Element> root;
    std::string text;
};

const Document& TheDocument()
{
    static const Document document = [] {
        Document d;
        d.root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(185000, 42));
        d.text = d.root->toXMLString("");
        return d;
    }();
    return document;
}

// A document read and dropped again, as when stations are opened one
// after another.
void BM_ReadAndDrop(benchmark::State& state)
{
    const Document& d = TheDocument();
    for (auto _ : state) {
        auto document = sdf::SDF::ReadSdfFromString(d.text);
        benchmark::DoNotOptimize(document.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.text.size()));
}

// The same document written again and again, as when a station is saved
// while it is edited.
void BM_WriteRepeatedly(benchmark::State& state)
{
    const Document& d = TheDocument();
    for (auto _ : state) {
        std::string text = d.root->toXMLString("");
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * d.text.size()));
}

BENCHMARK(BM_ReadAndDrop)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_WriteRepeatedly)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

BENCHMARK_MAIN();
