// Inverse kinematics: the closed form against KDL's LMA solver on the same
// poses (their ratio in one run), how often each solves poses that are
// reachable by construction on every robot the station generator makes,
// and what `sdftool reach` adds to reading the 10 MB generated station.
#include "cell/CellKinematics.h"
#include "cell/ClosedFormIk.h"
#include "cell/InverseKinematics.h"
#include "cell/NumericIk.h"
#include "cell/RobotModel.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cmath>
#include <numbers>
#include <random>

namespace {

using cell::RigidTransform;
using cell::RobotModel;
using Clock = std::chrono::steady_clock;

// This thread's CPU time in seconds: on a machine shared with other work,
// wall-clock time would count theirs too.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<RobotModel> GeneratedRobots()
{
    sdf::testing::GeneratorOptions options;
    options.robots = 6; // one of each model
    const auto root = sdf::testing::GenerateStation(options);
    std::vector<RobotModel> robots;
    for (const auto& element : root->get("station")->children("manipulator"))
        robots.push_back(RobotModel::FromMechanism(*element));
    return robots;
}

std::vector<double> RandomWithin(const RobotModel& robot, std::mt19937& random)
{
    std::vector<double> q;
    for (const auto& joint : robot.joints())
        q.push_back(std::uniform_real_distribution<double>(std::max(joint.lower, -2 * std::numbers::pi),
                                                           std::min(joint.upper, 2 * std::numbers::pi))(random));
    return q;
}

struct Poses
{
    RobotModel robot;
    std::vector<RigidTransform> flanges;
};

const Poses& SamePoses()
{
    static const Poses poses = [] {
        Poses p{GeneratedRobots().front(), {}};
        std::mt19937 random(1);
        for (int i = 0; i < 1000; ++i)
            p.flanges.push_back(p.robot.flange(RandomWithin(p.robot, random)));
        return p;
    }();
    return poses;
}

// All eight raw solutions of one pose.
void BM_ClosedFormAllSolutions(benchmark::State& state)
{
    const Poses& p = SamePoses();
    const auto solver = cell::ClosedFormIk::Recognise(p.robot);
    std::array<cell::ClosedFormIk::Solution, 8> out;
    const std::array<double, 6> reference{};
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(solver->solve(p.flanges[i++ % p.flanges.size()], reference, out));
        benchmark::ClobberMemory();
    }
}

// The same with limits, turns and configurations applied.
void BM_ClosedFormWithinLimits(benchmark::State& state)
{
    const Poses& p = SamePoses();
    const cell::InverseKinematics ik(p.robot);
    const std::vector<double> current = p.robot.home();
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ik.solve(p.flanges[i++ % p.flanges.size()], current));
}

// KDL's LMA (unit weights), one random seed, on the same poses.
void BM_KdlLmaOneSeed(benchmark::State& state)
{
    const Poses& p = SamePoses();
    const cell::NumericIk lma(p.robot);
    std::size_t i = 0;
    for (auto _ : state)
        lma.solve(p.flanges[i++ % p.flanges.size()], {}, 1, [](std::span<const double>) { return true; });
}

// Both on the same poses in one run: the ratio of their mean CPU times.
void BM_ClosedFormVersusLma(benchmark::State& state)
{
    const Poses& p = SamePoses();
    const auto solver = cell::ClosedFormIk::Recognise(p.robot);
    const cell::NumericIk lma(p.robot);
    std::array<cell::ClosedFormIk::Solution, 8> out;
    const std::array<double, 6> reference{};
    double closed = 0, numeric = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        for (const auto& f : p.flanges)
            benchmark::DoNotOptimize(solver->solve(f, reference, out));
        const double t1 = ThreadSeconds();
        for (const auto& f : p.flanges)
            lma.solve(f, {}, 1, [](std::span<const double>) { return true; });
        const double t2 = ThreadSeconds();
        closed += t1 - t0;
        numeric += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations() * p.flanges.size());
    state.counters["closed_us"] = closed / n * 1e6;
    state.counters["lma_us"] = numeric / n * 1e6;
    state.counters["lma_over_closed"] = numeric / closed;
}

// Poses of random joints within the limits of every generated robot: the
// closed form must find the joints themselves, the numerical solver (with
// its restarts) some joints within the limits that give the pose; KDL's LMA
// with one random seed for comparison.
void BM_SuccessRates(benchmark::State& state)
{
    const auto robots = GeneratedRobots();
    const int closedSamples = 10000, numericSamples = static_cast<int>(state.range(0));
    double closedOk = 0, numericOk = 0, oneSeedOk = 0, closedTotal = 0, numericTotal = 0;
    for (auto _ : state) {
        std::mt19937 random(99);
        for (const RobotModel& robot : robots) {
            const cell::InverseKinematics ik(robot);
            const cell::NumericIk numeric(robot);
            const std::vector<double> home = robot.motion(robot.home());
            for (int i = 0; i < closedSamples; ++i) {
                const std::vector<double> q = RandomWithin(robot, random);
                const auto result = ik.solve(robot.flange(q), robot.home());
                bool found = false;
                for (const auto& s : result.solutions) {
                    double apart = 0;
                    for (std::size_t k = 0; k < q.size(); ++k)
                        apart = std::max(apart, std::abs(s.joints[k] - q[k]));
                    found = found || apart < 1e-6;
                }
                closedOk += found ? 1 : 0;
                closedTotal += 1;
            }
            for (int i = 0; i < numericSamples; ++i) {
                const std::vector<double> q = RandomWithin(robot, random);
                const RigidTransform flange = robot.flange(q);
                bool solved = false;
                const std::vector<std::vector<double>> seeds{home};
                numeric.solve(flange, seeds, cell::NumericIk::kAttempts, [&](std::span<const double> m) {
                    // Within the limits once brought into (-pi, pi] and turned.
                    std::vector<double> v(m.begin(), m.end());
                    for (auto& x : v)
                        x = std::remainder(x, 2 * std::numbers::pi);
                    for (int turn = 0; turn < 64 && !solved; ++turn) {
                        std::vector<double> t = v;
                        for (std::size_t k = 0; k < t.size(); ++k)
                            t[k] += ((turn >> k) & 1) ? (t[k] < 0 ? 2 : -2) * std::numbers::pi : 0;
                        solved = robot.withinLimits(robot.stored(t));
                    }
                    return solved;
                });
                numericOk += solved ? 1 : 0;
                bool once = false;
                numeric.solve(flange, {}, 1, [&](std::span<const double>) { return once = true; });
                oneSeedOk += once ? 1 : 0;
                numericTotal += 1;
            }
        }
    }
    state.counters["closed_form_pct"] = 100 * closedOk / closedTotal;
    state.counters["numeric_restarts_pct"] = 100 * numericOk / numericTotal;
    state.counters["lma_one_seed_pct"] = 100 * oneSeedOk / numericTotal;
    state.counters["robots"] = static_cast<double>(robots.size());
}

// What `sdftool reach` does beyond reading the document: the layout, the
// robots and every target's status.
void BM_ReachBeyondReading(benchmark::State& state)
{
    static const std::string text =
        sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(185000, 42))->toXMLString("");
    double reading = 0, reaching = 0, targets = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const auto document = sdf::SDF::ReadSdfFromString(text);
        const auto t1 = Clock::now();
        const cell::CellKinematics cell(document->Root());
        const auto all = cell.reachAll();
        const auto t2 = Clock::now();
        targets = static_cast<double>(all.size());
        reading += std::chrono::duration<double>(t1 - t0).count();
        reaching += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["megabytes"] = static_cast<double>(text.size()) / 1e6;
    state.counters["targets"] = targets;
    state.counters["read_s"] = reading / n;
    state.counters["reach_s"] = reaching / n;
}

} // namespace

BENCHMARK(BM_ClosedFormAllSolutions);
BENCHMARK(BM_ClosedFormWithinLimits);
BENCHMARK(BM_KdlLmaOneSeed)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ClosedFormVersusLma)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SuccessRates)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ReachBeyondReading)->Iterations(3)->Unit(benchmark::kSecond);

BENCHMARK_MAIN();
