// What the object hook costs every QObject of the process: constructing and
// destroying batches of objects without the hook, then with it installed
// (its deferred announcements processed), and the ratio of the two.
//
// Objects either outlive the turn of the event loop that announces them, or
// are gone before it, as temporaries are.
#include "ObjectHook.h"

#include <QtCore/QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int batch = 1000;

void announce()
{
    // As the event loop does; a filtered call would leave the delivered
    // entries in the queue.
    QCoreApplication::sendPostedEvents();
}

void runBatches(benchmark::State& state, bool announceWhileAlive)
{
    std::vector<std::unique_ptr<QObject>> objects;
    objects.reserve(batch);
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            objects.push_back(std::make_unique<QObject>());
        if (announceWhileAlive)
            announce();
        objects.clear();
        if (!announceWhileAlive)
            announce();
    }
    state.SetItemsProcessed(state.iterations() * batch);
}

void installHook()
{
    zrv::ObjectHook::inst(QCoreApplication::instance());
    announce();
}

// Without the hook; these run first, before anything installs it.
void BM_LongLived_NoHook(benchmark::State& state) { runBatches(state, true); }
void BM_ShortLived_NoHook(benchmark::State& state) { runBatches(state, false); }

void BM_LongLived_Hook(benchmark::State& state)
{
    installHook();
    runBatches(state, true);
}

void BM_ShortLived_Hook(benchmark::State& state)
{
    installHook();
    runBatches(state, false);
}

// Repeated, and compared by the median of the CPU time, so that a busy
// machine disturbs the ratio less.
BENCHMARK(BM_LongLived_NoHook)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ShortLived_NoHook)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_LongLived_Hook)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ShortLived_Hook)->Repetitions(5)->ReportAggregatesOnly(true);

// Prints as usual and remembers the median CPU time per batch of each
// benchmark.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                nanoseconds[run.run_name.function_name] = run.GetAdjustedCPUTime();
        }
    }

    void printRatio(const char* kind) const
    {
        const auto without = nanoseconds.find(std::string("BM_") + kind + "_NoHook");
        const auto with = nanoseconds.find(std::string("BM_") + kind + "_Hook");
        if (without == nanoseconds.end() || with == nanoseconds.end() || without->second <= 0)
            return;
        std::printf("%s objects (median CPU time): %.1f ns without the hook, %.1f ns with it, ratio %.2f\n", kind,
                    without->second / batch, with->second / batch, with->second / without->second);
    }

private:
    std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatio("LongLived");
    reporter.printRatio("ShortLived");
    benchmark::Shutdown();
    return 0;
}
