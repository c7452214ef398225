// What opening a station costs the Core plug-in beyond reading it, for
// generated stations of growing size (about 10 MB at 185,000 elements,
// 80 MB at 1,500,000), split the way the window splits the work:
//
//  - off the GUI thread: reading the text, building the objects without
//    registering them (StationObjects::Prepare) and the id check;
//  - on the GUI thread, the one stretch during which the window cannot
//    paint: dropping the station shown before, registering the new objects
//    and arranging their tree, and filling the tree view's model.
//
// Builds and registers everything in one go as well (the constructor), for
// comparison with earlier figures.

#include "ObjectSearchIndex.h"
#include "ObjectTreeModel.h"
#include "StationObjects.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Generated
{
    std::shared_ptr<sdf::Element> root;
    std::string text;
};

const Generated& Station(std::size_t elements)
{
    static std::map<std::size_t, Generated> made;
    Generated& station = made[elements];
    if (!station.root) {
        station.text = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(elements))
                           ->toXMLString("");
        station.root = sdf::SDF::ReadSdfFromString(station.text)->Root();
    }
    return station;
}

void Counters(benchmark::State& state, const Generated& station, std::size_t objects)
{
    state.counters["MB"] = static_cast<double>(station.text.size()) / 1e6;
    state.counters["objects"] = static_cast<double>(objects);
}

void BuildObjectTree(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    std::size_t objects = 0;
    for (auto _ : state) {
        zrv::core::StationObjects tree(station.root);
        objects = tree.size();
        benchmark::DoNotOptimize(tree.roots().data());
    }
    Counters(state, station, objects);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * objects));
}

// Worker thread: the read itself.
void ReadStation(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(sdf::SDF::ReadSdfFromString(station.text));
    Counters(state, station, 0);
}

// Worker thread: objects built, nothing registered.
void PrepareObjects(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    std::size_t objects = 0;
    for (auto _ : state) {
        auto prepared = zrv::core::StationObjects::Prepare(station.root, nullptr);
        objects = prepared->size();
        benchmark::DoNotOptimize(prepared.get());
    }
    Counters(state, station, objects);
}

// Worker thread: the id check behind the problems panel.
void CheckIds(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    std::size_t problems = 0;
    for (auto _ : state)
        problems = sdf::IdCheck::Check(*station.root).size();
    Counters(state, station, 0);
    state.counters["problems"] = static_cast<double>(problems);
}

// GUI thread: the stretch that blocks painting once the worker is done --
// the previous station's objects dropped (second argument 1: a station as
// big as the new one; 0: none), the new ones registered and arranged, the
// tree model filled and the first object revealed.
void ShowPreparedTree(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    // Whether the station shown before is as big and dropped in the same
    // stretch (a big station opened over another), or already gone.
    const bool dropShown = state.range(1) != 0;
    std::size_t objects = 0;
    zrv::core::ObjectTreeModel model;
    auto shown = zrv::core::StationObjects::Prepare(station.root, nullptr);
    shown->registerAll();
    model.reset(shown.get());
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = zrv::core::StationObjects::Prepare(station.root, nullptr);
        if (!dropShown) {
            model.reset(nullptr);
            shown.reset();
        }
        state.ResumeTiming();
        model.reset(nullptr);
        shown.reset();
        prepared->registerAll();
        model.reset(prepared.get());
        if (!prepared->roots().empty())
            benchmark::DoNotOptimize(model.reveal(prepared->roots().front()));
        shown = std::move(prepared);
        objects = shown->size();
    }
    model.reset(nullptr);
    shown.reset();
    Counters(state, station, objects);
}

// GUI thread, as the window does it: the objects enter the registry in
// slices between which the window paints; the longest step (a slice, or
// the last one, which also arranges the tree and fills the model) is the
// longest the window is held up. Reported as CPU time of this thread.
void LongestShowStep(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    double longest = 0;
    std::size_t steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto prepared = zrv::core::StationObjects::Prepare(station.root, nullptr);
        zrv::core::ObjectTreeModel model;
        state.ResumeTiming();
        steps = 0;
        for (bool done = false; !done; ++steps) {
            const double start = ThreadCpuMs();
            done = prepared->registerSome(20000);
            if (done) {
                model.reset(prepared.get());
                benchmark::DoNotOptimize(model.reveal(prepared->roots().front()));
            }
            longest = std::max(longest, ThreadCpuMs() - start);
        }
        state.PauseTiming();
        model.reset(nullptr);
        prepared.reset();
        state.ResumeTiming();
    }
    Counters(state, station, 0);
    state.counters["longest_step_ms"] = longest;
    state.counters["steps"] = static_cast<double>(steps);
}

// What Find types, letter by letter, then takes back to nothing: letters
// that most objects' names or kinds hold, then a word that narrows to few.
const std::vector<std::vector<QString>> kTyped = {
    {QStringLiteral("e"), QStringLiteral("i"), QStringLiteral("n")},
    {QStringLiteral("t"), QStringLiteral("ta"), QStringLiteral("tar"), QStringLiteral("targ"), QStringLiteral("target")},
    {QStringLiteral("wel"), QStringLiteral("we"), QStringLiteral("w"), QStringLiteral("")},
};

// GUI thread: Find typed into the tree of a station, each keystroke as
// setFilter takes it (search, rows, model signals). The figure that
// matters is the slowest keystroke, in CPU time of this thread; the second
// argument picks the typing in kTyped.
void FindKeystrokes(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    const std::vector<QString>& typed = kTyped[static_cast<std::size_t>(state.range(1))];
    auto objects = zrv::core::StationObjects::Prepare(station.root, nullptr);
    objects->registerAll();
    // The model makes what Find needs once the window is idle after showing
    // the station: here, in an event loop's turn, timed apart.
    static int argc = 1;
    static char name[] = "core_objects_bench";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    zrv::core::ObjectTreeModel model;
    model.reset(objects.get(), zrv::core::ObjectSearchIndex::Build(*objects));
    const double idleStart = ThreadCpuMs();
    QCoreApplication::processEvents();
    state.counters["idle_prepare_ms"] = ThreadCpuMs() - idleStart;
    std::vector<double> longest(typed.size(), 0);
    int rows = 0;
    for (auto _ : state) {
        for (std::size_t key = 0; key < typed.size(); ++key) {
            const double start = ThreadCpuMs();
            model.setFilter(typed[key]);
            rows = model.rowCount();
            longest[key] = std::max(longest[key], ThreadCpuMs() - start);
        }
        state.PauseTiming();
        model.setFilter({});
        state.ResumeTiming();
    }
    Counters(state, station, objects->size());
    for (std::size_t key = 0; key < typed.size(); ++key)
        state.counters[fmt::format("ms_{}_'{}'", key, typed[key].toStdString())] = longest[key];
    state.counters["rows_last"] = rows;
    model.reset(nullptr);
}

// The search alone: every object whose name or kind holds one letter.
void FindInIndex(benchmark::State& state)
{
    const Generated& station = Station(static_cast<std::size_t>(state.range(0)));
    auto objects = zrv::core::StationObjects::Prepare(station.root, nullptr);
    const auto index = zrv::core::ObjectSearchIndex::Build(*objects);
    std::vector<std::uint32_t> found;
    for (auto _ : state) {
        index->find(QStringLiteral("e"), nullptr, found);
        benchmark::DoNotOptimize(found.data());
    }
    Counters(state, station, objects->size());
    state.counters["found"] = static_cast<double>(found.size());
}

#define STATION_SIZES ->Arg(10'000)->Arg(185'000)->Arg(1'500'000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()
BENCHMARK(BuildObjectTree) STATION_SIZES;
BENCHMARK(ReadStation) STATION_SIZES;
BENCHMARK(PrepareObjects) STATION_SIZES;
BENCHMARK(CheckIds) STATION_SIZES;
BENCHMARK(LongestShowStep) STATION_SIZES;
BENCHMARK(FindInIndex) STATION_SIZES;
BENCHMARK(FindKeystrokes)
    ->ArgsProduct({{185'000, 1'500'000}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK(ShowPreparedTree)
    ->ArgsProduct({{10'000, 185'000, 1'500'000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

} // namespace

BENCHMARK_MAIN();
