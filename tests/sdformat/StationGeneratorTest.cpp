// The generated stations that the round-trip tests and the benchmarks rely
// on: reproducible, consistent in their ids, and covering every value type.

#include <StationGenerator.h>
#include <TreeListing.h>

#include <sdformat/Element.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using sdf::Element;
using sdf::testing::GenerateStation;
using sdf::testing::GeneratorOptions;

void Walk(const std::shared_ptr<Element>& element, const std::function<void(const std::shared_ptr<Element>&)>& visit)
{
    visit(element);
    for (const auto& child : element->elements())
        Walk(child, visit);
}

const sdf::Attr* FindAttribute(const Element& element, std::string_view label)
{
    for (const auto& attribute : element.attributes())
        if (attribute->label() == label)
            return attribute.get();
    return nullptr;
}

bool HasAttribute(const Element& element, std::string_view label) { return FindAttribute(element, label) != nullptr; }

// Records that number their entries locally carry an `id` attribute too,
// but they are not objects of the station.
bool IsObject(const Element& element)
{
    static const std::set<std::string> kLocal{"tooldata", "dependency", "connection", "subregion"};
    return HasAttribute(element, "id") && !kLocal.contains(element.label()) && element.label() != "sdf";
}

TEST(StationGenerator, SameOptionsGiveTheSameStationAndAnotherSeedAnother)
{
    GeneratorOptions options;
    options.seed = 7;
    const auto first = sdf::testing::ListTree(*GenerateStation(options));
    const auto again = sdf::testing::ListTree(*GenerateStation(options));
    EXPECT_EQ(sdf::testing::FirstDifference(first, again), std::string::npos);

    options.seed = 8;
    EXPECT_NE(sdf::testing::FirstDifference(first, sdf::testing::ListTree(*GenerateStation(options))),
              std::string::npos);
}

TEST(StationGenerator, ObjectIdsAreUniqueAndParentsAndChildListsAgree)
{
    GeneratorOptions options;
    options.robots = 3;
    auto root = GenerateStation(options);
    auto station = root->get("station");

    std::map<unsigned, std::shared_ptr<Element>> objects;
    Walk(root, [&](const std::shared_ptr<Element>& e) {
        if (!IsObject(*e))
            return;
        const unsigned id = e->getId(true);
        EXPECT_NE(id, 0U) << e->label();
        EXPECT_TRUE(objects.emplace(id, e).second) << "id " << id << " given twice";
        EXPECT_TRUE(e->exists("name")) << e->label() << " " << id;
    });
    EXPECT_GT(objects.size(), 200U);
    EXPECT_EQ(station->asUInt("next_dataid"), objects.rbegin()->first + 1);

    for (const auto& [id, object] : objects) {
        if (object == station)
            continue;
        const unsigned parent = object->asUInt("parent");
        ASSERT_TRUE(objects.contains(parent)) << object->label() << " " << id << " has parent " << parent;
        std::vector<unsigned> listed;
        for (const auto& child : objects[parent]->children("child"))
            listed.push_back(child->asUInt());
        EXPECT_EQ(std::count(listed.begin(), listed.end(), id), 1)
            << object->label() << " " << id << " is listed by its parent " << parent << " not exactly once";
    }
    for (const auto& [id, object] : objects)
        for (const auto& child : object->children("child"))
            EXPECT_EQ(objects.at(child->asUInt())->asUInt("parent"), id);
}

TEST(StationGenerator, AnnotatedValuesCoverEveryRegisteredTypeWithEmptyStringsAmongThem)
{
    std::set<std::string> types;
    unsigned emptyStrings = 0;
    Walk(GenerateStation({}), [&](const std::shared_ptr<Element>& e) {
        const sdf::Attr* typeAttribute = FindAttribute(*e, "type");
        if (e->label() != "value" || !typeAttribute)
            return;
        const std::string type = typeAttribute->asString();
        types.insert(type);
        if (type == "string" && e->getStringFromValue().empty())
            ++emptyStrings;
    });
    const std::set<std::string> all{"bool",     "int",      "unsigned int", "uint64_t",  "double",    "string",
                                    "vector3",  "pos",      "orient",       "pose",      "tooldata",  "wobjdata",
                                    "speeddata", "zonedata", "robtarget",   "jointtarget"};
    EXPECT_EQ(types, all);
    EXPECT_GT(emptyStrings, 0U);
}

TEST(StationGenerator, StationHoldsTheModelsAndProgramsAskedFor)
{
    GeneratorOptions options;
    options.robots = 3;
    options.pathsPerTask = 2;
    options.instructionsPerPath = 5;
    options.operationsPerTask = 1;
    auto station = GenerateStation(options)->get("station");

    auto count = [&](const std::shared_ptr<Element>& e, std::string_view label) {
        return std::ranges::distance(e->children(label));
    };
    EXPECT_EQ(count(station, "manipulator"), 3);
    EXPECT_EQ(count(station, "tool"), 3);
    EXPECT_EQ(count(station, "controller"), 3);
    EXPECT_EQ(count(station, "part"), 6);
    ASSERT_EQ(count(station, "task"), 3);
    for (const auto& task : station->children("task")) {
        // Two taught paths and the one the operation projected.
        EXPECT_EQ(count(task, "path"), 3);
        EXPECT_EQ(count(task, "operation"), 1);
        EXPECT_EQ(count(task->get("path"), "instruction"), 5);
    }
    for (const auto& robot : station->children("manipulator")) {
        EXPECT_EQ(count(robot, "link"), 7);
        EXPECT_EQ(count(robot, "joint"), 6);
        EXPECT_NE(robot->get("wrist")->getId(), 0U);
    }
    EXPECT_TRUE(station->exists("simulation/state"));
    EXPECT_TRUE(station->exists("smart_component/property"));
}

TEST(StationGenerator, ElementCountIsMetClosely)
{
    for (std::size_t target : {2000U, 12000U}) {
        const auto options = GeneratorOptions::ForElementCount(target, 3);
        const auto count = static_cast<double>(sdf::testing::CountElements(*GenerateStation(options)));
        EXPECT_NEAR(count, static_cast<double>(target), 0.05 * static_cast<double>(target)) << target;
    }
}

} // namespace
