// Navigation is what every reader, writer and object does: build a large
// station with append, walk it by path and by label, read every value as
// text. Reports time and heap bytes per element.

#include <sdformat/Attr.h>
#include <sdformat/Element.h>
#include <sdformat/RootElement.h>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

// Heap bytes in use, as the allocator counts them.
namespace {
std::atomic<std::int64_t> g_liveBytes{0};
std::atomic<std::int64_t> g_allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    g_liveBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return p;
}
void operator delete(void* p) noexcept
{
    if (!p)
        return;
    g_liveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }

namespace {

using sdf::Element;

constexpr int kParts = 20000;

// A station of kParts parts, each with a name, a parent, three child ids, a
// uri, a detectable flag, its required pose and one attached file: about
// ten elements a part.
std::shared_ptr<Element> BuildStation()
{
    auto root = sdf::CreateRootElement();
    auto station = root->append("station");
    for (int i = 0; i < kParts; ++i) {
        auto part = station->append("part");
        part->append("name");
        part->append("parent");
        for (int c = 0; c < 3; ++c)
            part->append("child");
        part->append("uri");
        part->append("detectable");
        part->append("user_file");
    }
    return root;
}

std::int64_t CountElements(const Element& e)
{
    std::int64_t n = 1;
    for (const auto& c : e.elements())
        n += CountElements(*c);
    return n;
}

const std::int64_t kElements = [] { return CountElements(*BuildStation()); }();

void BM_Build(benchmark::State& state)
{
    std::int64_t bytes = 0;
    std::int64_t allocations = 0;
    for (auto _ : state) {
        const auto before = g_liveBytes.load();
        const auto allocBefore = g_allocations.load();
        auto root = BuildStation();
        bytes = g_liveBytes.load() - before;
        allocations = g_allocations.load() - allocBefore;
        benchmark::DoNotOptimize(root);
        state.PauseTiming();
        root.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
    state.counters["elements"] = static_cast<double>(kElements);
    state.counters["bytes_per_element"] = static_cast<double>(bytes) / static_cast<double>(kElements);
    state.counters["allocs_per_element"] = static_cast<double>(allocations) / static_cast<double>(kElements);
    state.counters["sizeof_Element"] = sizeof(Element);
    state.counters["sizeof_Attr"] = sizeof(sdf::Attr);
}
BENCHMARK(BM_Build)->Unit(benchmark::kMillisecond);

// By label and by path, as objects look up their fields.
void BM_WalkGetChildren(benchmark::State& state)
{
    auto root = BuildStation();
    auto station = root->get("station");
    for (auto _ : state) {
        std::int64_t found = 0;
        for (const auto& part : station->children("part")) {
            found += part->get("name") != nullptr;
            found += part->get("pose") != nullptr;
            found += part->get("user_file/uri") != nullptr;
            found += part->exists("detectable");
            for (const auto& child : part->children("child"))
                found += child != nullptr;
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kElements);
}
BENCHMARK(BM_WalkGetChildren)->Unit(benchmark::kMillisecond);

std::size_t ReadAll(const Element& e)
{
    std::size_t length = e.hasValue() ? e.getStringFromValue().size() : 0;
    for (const auto& c : e.elements())
        length += ReadAll(*c);
    return length;
}

void BM_ReadEveryValue(benchmark::State& state)
{
    auto root = BuildStation();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadAll(*root));
    state.SetItemsProcessed(state.iterations() * kElements);
}
BENCHMARK(BM_ReadEveryValue)->Unit(benchmark::kMillisecond);

void BM_Clone(benchmark::State& state)
{
    auto root = BuildStation();
    for (auto _ : state) {
        auto copy = root->clone();
        benchmark::DoNotOptimize(copy);
        state.PauseTiming();
        copy.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kElements);
}
BENCHMARK(BM_Clone)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
