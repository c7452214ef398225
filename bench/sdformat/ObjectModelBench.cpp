// The object model at station scale: lookups in a registry of many objects,
// and the list operations of a container with many children.

#include <sdformat/Element.h>
#include <sdformat/RootElement.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

class Node : public sdf::SdfNode
{
public:
    explicit Node(std::shared_ptr<sdf::Element> element) : SdfNode(std::move(element), sdf::ObjectType{13}) {}
};

class Container : public sdf::SdfContainer
{
public:
    explicit Container(std::shared_ptr<sdf::Element> element) : SdfContainer(std::move(element), sdf::ObjectType{12}) {}
};

// A station with `count` registered part nodes, ids first..first+count-1,
// and one registered container (id first-1) that lists them all.
struct Station
{
    Station(std::uint32_t first, std::uint32_t count) : first(first)
    {
        const auto root = sdf::CreateRootElement();
        station = root->append("station");
        container = std::make_unique<Container>(station->appendObject("assembly", first - 1, "all"));
        sdf::SdfManager::Register(container.get());
        for (std::uint32_t id = first; id < first + count; ++id) {
            nodes.push_back(std::make_unique<Node>(station->appendObject("part", id, "p")));
            sdf::SdfManager::Register(nodes.back().get());
            container->addObjChild(id);
        }
        keepRoot = root;
    }
    ~Station()
    {
        for (const auto& node : nodes)
            sdf::SdfManager::Remove(node->getId());
        sdf::SdfManager::Remove(container->getId());
    }

    std::uint32_t first;
    std::shared_ptr<sdf::Element> keepRoot;
    std::shared_ptr<sdf::Element> station;
    std::unique_ptr<Container> container;
    std::vector<std::unique_ptr<Node>> nodes;
};

void BM_GetNodeById(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    Station s(1000, count);
    std::mt19937 random(7);
    std::uniform_int_distribution<std::uint32_t> pick(1000, 1000 + count - 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(sdf::SdfManager::Get<sdf::SdfNode>(pick(random)));
}
BENCHMARK(BM_GetNodeById)->Arg(1000)->Arg(100000);

void BM_RegisterAndRemove(benchmark::State& state)
{
    Station s(1000, 1000);
    const auto root = sdf::CreateRootElement();
    Node extra(root->append("station")->appendObject("part", 500000, "x"));
    for (auto _ : state) {
        sdf::SdfManager::Register(&extra);
        sdf::SdfManager::Remove(500000);
    }
}
BENCHMARK(BM_RegisterAndRemove);

void BM_GetChildren(benchmark::State& state)
{
    Station s(1000, static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(s.container->getChildren().data());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GetChildren)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_ChildrenOfAGroup(benchmark::State& state)
{
    Station s(1000, static_cast<std::uint32_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(s.container->getObjChildren(sdf::ObjectType::Group12).data());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ChildrenOfAGroup)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Adopting the stored `child` elements of a container, as a client does
// after reading a station.
void BM_AdoptChildElements(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const auto root = sdf::CreateRootElement();
    const auto assembly = root->append("station")->appendObject("assembly", 1, "a");
    for (std::uint32_t id = 2; id < count + 2; ++id)
        assembly->append("child")->setValue<unsigned int>(id);
    for (auto _ : state) {
        Container container(assembly);
        for (const auto& child : assembly->children("child"))
            container.addObjChild(child);
        benchmark::DoNotOptimize(container.getObjChildren().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AdoptChildElements)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_EraseAllChildren(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const auto root = sdf::CreateRootElement();
    const auto station = root->append("station");
    Container container(station->appendObject("assembly", 1, "a"));
    sdf::SdfManager::Register(&container);
    std::vector<std::shared_ptr<sdf::Element>> elements;
    for (std::uint32_t id = 2; id < count + 2; ++id)
        elements.push_back(station->appendObject("part", id, "p"));
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& element : elements) {
            auto* node = new Node(element);
            sdf::SdfManager::Register(node);
            container.addObjChild(node->getId());
        }
        state.ResumeTiming();
        sdf::SdfManager::EraseAllChildren(1);
    }
    sdf::SdfManager::Remove(1);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EraseAllChildren)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
