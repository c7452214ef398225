// Text -> value -> text through the type registry, next to the same round
// trip done with a string stream per value. Documents convert every
// attribute and element value this way, so both the absolute cost and the
// gain over streams matter.

#include <sdformat/PoseTemplate.h>
#include <sdformat/TypeManager.h>

#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/ZoneData.h>

#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Pose = zrv::rob::PoseTemplate<double>;

constexpr std::size_t kBatch = 100000;

std::vector<std::string> DoubleTexts()
{
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> value(-5000.0, 5000.0);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kBatch; ++i)
        texts.push_back(fmt::format("{:.16g}", value(random)));
    return texts;
}

std::vector<std::string> PoseTexts()
{
    std::mt19937_64 random(2);
    std::uniform_real_distribution<double> position(-2000.0, 2000.0);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kBatch; ++i)
        texts.push_back(fmt::format("{:g} {:g} {:g} {:g} {:g} {:g} {:g}", position(random), position(random),
                                    position(random), unit(random), unit(random), unit(random), unit(random)));
    return texts;
}

std::vector<std::string> ToolTexts()
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> length(0.0, 400.0);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kBatch; ++i) {
        zrv::rob::ToolData tool;
        tool.tframe.trans = {length(random), length(random), length(random)};
        tool.tload.mass = length(random) / 100;
        std::ostringstream out;
        out << tool;
        texts.push_back(out.str());
    }
    return texts;
}

// Records as a station's paths hold them: targets spread over a cell,
// zones and speeds from the usual ranges.
template <class T, class Fill>
std::vector<std::string> RecordTexts(unsigned seed, Fill fill)
{
    std::mt19937_64 random(seed);
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < kBatch; ++i) {
        T value;
        fill(random, value);
        std::ostringstream out;
        out << value;
        texts.push_back(out.str());
    }
    return texts;
}

std::vector<std::string> RobTargetTexts()
{
    return RecordTexts<zrv::rob::RobTarget>(4, [](std::mt19937_64& random, zrv::rob::RobTarget& target) {
        std::uniform_real_distribution<double> position(-2000.0, 2000.0);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        std::uniform_int_distribution<int> quadrant(-2, 1);
        target.trans = {position(random), position(random), position(random)};
        target.rot = {unit(random), unit(random), unit(random), unit(random)};
        target.robconf = {quadrant(random), quadrant(random), quadrant(random), 0};
    });
}

std::vector<std::string> ZoneTexts()
{
    return RecordTexts<zrv::rob::ZoneData>(5, [](std::mt19937_64& random, zrv::rob::ZoneData& zone) {
        std::uniform_real_distribution<double> size(0.0, 200.0);
        zone.finep = false;
        zone.pzone_tcp = size(random);
        zone.pzone_ori = zone.pzone_tcp * 1.5;
        zone.pzone_eax = zone.pzone_ori;
        zone.zone_ori = size(random) / 10;
        zone.zone_leax = zone.pzone_ori;
        zone.zone_reax = zone.zone_ori;
    });
}

std::vector<std::string> SpeedTexts()
{
    return RecordTexts<zrv::rob::SpeedData>(6, [](std::mt19937_64& random, zrv::rob::SpeedData& speed) {
        std::uniform_int_distribution<int> tcp(1, 7000);
        speed.v_tcp = tcp(random);
    });
}

void ReportPerValue(benchmark::State& state)
{
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBatch));
    state.counters["per_value"] = benchmark::Counter(static_cast<double>(state.iterations() * kBatch),
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void RoundTripByRegistry(benchmark::State& state, const char* typeName, const std::vector<std::string>& texts)
{
    const auto* types = sdf::TypeManager::inst();
    for (auto _ : state) {
        std::size_t length = 0;
        for (const auto& text : texts)
            length += types->toString(types->fromString(typeName, text)).size();
        benchmark::DoNotOptimize(length);
    }
    ReportPerValue(state);
}

// Only text -> value: reading a document converts each value once, and the
// records dominate a station's program data.
void ReadByRegistry(benchmark::State& state, const char* typeName, const std::vector<std::string>& texts)
{
    const auto* types = sdf::TypeManager::inst();
    for (auto _ : state) {
        for (const auto& text : texts) {
            auto value = types->fromString(typeName, text);
            benchmark::DoNotOptimize(value);
        }
    }
    ReportPerValue(state);
}

template <class T>
void RoundTripByStream(benchmark::State& state, const std::vector<std::string>& texts, int precision)
{
    for (auto _ : state) {
        std::size_t length = 0;
        for (const auto& text : texts) {
            std::istringstream in(text);
            in.imbue(std::locale::classic());
            T value{};
            in >> value;
            std::ostringstream out;
            out.imbue(std::locale::classic());
            out.precision(precision);
            out << value;
            length += out.str().size();
        }
        benchmark::DoNotOptimize(length);
    }
    ReportPerValue(state);
}

void DoubleByRegistry(benchmark::State& state)
{
    static const auto texts = DoubleTexts();
    RoundTripByRegistry(state, "double", texts);
}

void DoubleByStream(benchmark::State& state)
{
    static const auto texts = DoubleTexts();
    RoundTripByStream<double>(state, texts, 16);
}

void PoseByRegistry(benchmark::State& state)
{
    static const auto texts = PoseTexts();
    RoundTripByRegistry(state, "pose", texts);
}

void PoseByStream(benchmark::State& state)
{
    static const auto texts = PoseTexts();
    RoundTripByStream<Pose>(state, texts, 6);
}

void ToolDataByRegistry(benchmark::State& state)
{
    static const auto texts = ToolTexts();
    RoundTripByRegistry(state, "tooldata", texts);
}

void ToolDataByStream(benchmark::State& state)
{
    static const auto texts = ToolTexts();
    RoundTripByStream<zrv::rob::ToolData>(state, texts, 6);
}

void RobTargetReadByRegistry(benchmark::State& state)
{
    static const auto texts = RobTargetTexts();
    ReadByRegistry(state, "robtarget", texts);
}

void ZoneDataReadByRegistry(benchmark::State& state)
{
    static const auto texts = ZoneTexts();
    ReadByRegistry(state, "zonedata", texts);
}

void SpeedDataReadByRegistry(benchmark::State& state)
{
    static const auto texts = SpeedTexts();
    ReadByRegistry(state, "speeddata", texts);
}

void ToolDataReadByRegistry(benchmark::State& state)
{
    static const auto texts = ToolTexts();
    ReadByRegistry(state, "tooldata", texts);
}

} // namespace

BENCHMARK(DoubleByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(DoubleByStream)->Unit(benchmark::kMillisecond);
BENCHMARK(PoseByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(PoseByStream)->Unit(benchmark::kMillisecond);
BENCHMARK(ToolDataByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(ToolDataByStream)->Unit(benchmark::kMillisecond);
BENCHMARK(RobTargetReadByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(ZoneDataReadByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(SpeedDataReadByRegistry)->Unit(benchmark::kMillisecond);
BENCHMARK(ToolDataReadByRegistry)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
