// The Core plug-in's object tree over stored stations: which elements become
// objects, of which class, under which parent and in which order.
#include "ObjectTreeModel.h"
#include "StationObjects.h"

#include <sdformat/SDF.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using zrv::core::StationObjects;

std::shared_ptr<sdf::SDF> Read(const std::string& body)
{
    return sdf::SDF::ReadSdfFromString("<sdf version='1.0'><station id='1'><name>Cell</name>" + body +
                                       "</station></sdf>");
}

// Each object's name with the names of its tree children, and the roots
// under "".
std::map<std::string, std::vector<std::string>> Tree(const StationObjects& objects)
{
    std::map<std::string, std::vector<std::string>> tree;
    const auto name = [&](std::size_t i) { return objects.entry(i).object->getDisplayString(); };
    for (std::size_t root : objects.roots())
        tree[""].push_back(name(root));
    for (std::size_t i = 0; i < objects.size(); ++i) {
        for (std::size_t child : objects.entry(i).children)
            tree[name(i)].push_back(name(child));
    }
    return tree;
}

using Names = std::vector<std::string>;

TEST(StationObjects, ContainersKeepTheirListedOrderAndNestedObjectsTheirEnclosingOne)
{
    const auto document = Read(R"(
        <part id='20'><name>Loose</name><parent>1</parent><pose>0 0 0 1 0 0 0</pose></part>
        <assembly id='10'>
          <name>Fixture</name><parent>1</parent>
          <child>12</child><child>11</child>
        </assembly>
        <part id='11'><name>Clamp A</name><parent>10</parent></part>
        <part id='12'><name>Clamp B</name><parent>10</parent>
          <body id='30'><name>Jaw</name></body>
        </part>
        <part id='13'><name>Clamp C</name><parent>10</parent></part>)");
    const StationObjects objects(document->Root());

    const auto tree = Tree(objects);
    EXPECT_EQ(tree.at(""), Names{"Cell"});
    EXPECT_EQ(tree.at("Cell"), (Names{"Loose", "Fixture"}));
    // Listed children first, in list order, then the one that only names
    // the fixture as parent.
    EXPECT_EQ(tree.at("Fixture"), (Names{"Clamp B", "Clamp A", "Clamp C"}));
    EXPECT_EQ(tree.at("Clamp B"), Names{"Jaw"});

    auto* fixture = sdf::SdfManager::Get<sdf::SdfContainer>(10);
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(fixture->getObjChildren(), (std::vector<std::uint32_t>{12, 11}));
    EXPECT_NE(sdf::SdfManager::Get<sdf::SdfNode>(20), nullptr) << "a part with a pose is a node";
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfContainer>(11), nullptr);
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfObject>(30)->getObjParentId(), 12u);
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfObject>(1)->getObjParentId(), 0u);
    EXPECT_EQ(objects.depth(objects.find(30)), 3u);
    EXPECT_TRUE(objects.warnings().empty());
}

TEST(StationObjects, RecordIdsAreNoObjectsAndTakenIdsAreReportedButShown)
{
    const auto document = Read(R"(
        <tool id='17'><name>Gun</name><parent>1</parent>
          <tooldata id='1'><name>tGun</name></tooldata>
        </tool>
        <part id='17'><name>Impostor</name><parent>1</parent></part>)");
    const StationObjects objects(document->Root());

    ASSERT_EQ(objects.size(), 3u) << "the station, the tool and the second id 17";
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfObject>(1)->getDisplayString(), "Cell");
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfObject>(17)->getDisplayString(), "Gun");
    ASSERT_EQ(objects.warnings().size(), 1u);
    EXPECT_NE(objects.warnings().front().find("part 'Impostor' has id 17"), std::string::npos)
        << objects.warnings().front();
    EXPECT_FALSE(objects.entry(2).registered);
    EXPECT_EQ(Tree(objects).at("Cell"), (Names{"Gun", "Impostor"}));
    EXPECT_EQ(objects.find(17), 1u);
}

TEST(StationObjects, ParentLoopsAndUnknownParentsStillReachEveryObjectOnce)
{
    const auto document = Read(R"(
        <part id='2'><name>A</name><parent>3</parent></part>
        <part id='3'><name>B</name><parent>2</parent></part>
        <part id='4'><name>C</name><parent>3</parent></part>
        <part id='5'><name>Self</name><parent>5</parent></part>
        <part id='6'><name>Orphan</name><parent>77</parent></part>)");
    const StationObjects objects(document->Root());

    std::vector<int> seen(objects.size(), 0);
    std::vector<std::size_t> stack(objects.roots().begin(), objects.roots().end());
    while (!stack.empty()) {
        const std::size_t at = stack.back();
        stack.pop_back();
        ASSERT_LT(++seen[at], 2) << "reached twice: " << objects.entry(at).object->getDisplayString();
        for (std::size_t child : objects.entry(at).children)
            stack.push_back(child);
    }
    EXPECT_EQ(seen, std::vector<int>(objects.size(), 1));
    EXPECT_EQ(Tree(objects).at(""), (Names{"Cell", "A", "Self", "Orphan"}));
    EXPECT_EQ(Tree(objects).at("A"), Names{"B"});
    EXPECT_EQ(Tree(objects).at("B"), Names{"C"});
    // The stored parents are what the objects answer, loop or not.
    EXPECT_EQ(sdf::SdfManager::Get<sdf::SdfObject>(2)->getObjParentId(), 3u);
}

TEST(StationObjects, FindsByNameInTreeOrderAndLeavesTheRegistryAsItFoundIt)
{
    const std::size_t before = sdf::SdfManager::Size();
    {
        const auto document = Read(R"(
            <part id='9'><name>Twin</name><parent>8</parent></part>
            <assembly id='8'><name>Holder</name><parent>1</parent><child>9</child></assembly>
            <part id='7'><name>Twin</name></part>)");
        const StationObjects objects(document->Root());
        EXPECT_EQ(objects.findByName("Twin"), objects.find(9)) << "depth first from the first root";
        EXPECT_EQ(objects.findByName("Nobody"), StationObjects::NoEntry);
        EXPECT_TRUE(sdf::SdfManager::Contains(8));
    }
    EXPECT_FALSE(sdf::SdfManager::Contains(8));
    EXPECT_EQ(sdf::SdfManager::Size(), before);
}

// A million assemblies each in the one before, listed deepest first: the
// objects, the tree's rows, the filter and revealing the innermost all walk
// the chain without a call per level (and without one walk per level).
TEST(StationObjects, AMillionNestedAssembliesMakeOneChainInTheTree)
{
    constexpr std::uint32_t kLevels = 1'000'000;
    constexpr std::uint32_t kInnermost = kLevels + 1;
    std::string body;
    body.reserve(std::size_t{kLevels} * 48);
    for (std::uint32_t id = kInnermost; id >= 2; --id)
        body += "<assembly id='" + std::to_string(id) + "'><parent>" + std::to_string(id - 1) + "</parent></assembly>";
    // And a loop through a part and its body: cut above its first member in
    // document order.
    body += "<part id='3000000'><parent>3000001</parent><body id='3000001'><parent>3000000</parent>"
            "</body></part>";
    const auto document = Read(body);
    const StationObjects objects(document->Root());
    ASSERT_EQ(objects.size(), kLevels + 3);
    const std::size_t innermost = objects.find(kInnermost);
    EXPECT_EQ(objects.depth(innermost), kLevels);
    EXPECT_EQ(objects.entry(objects.find(3000000)).parent, StationObjects::NoEntry);
    EXPECT_EQ(objects.entry(objects.find(3000001)).parent, objects.find(3000000));

    zrv::core::ObjectTreeModel tree;
    tree.reset(&objects);
    EXPECT_EQ(tree.rowCount(), 4) << "the station, its first assembly, the loop's part";
    tree.setFilter(QString::number(kInnermost));
    ASSERT_EQ(tree.rowCount(), static_cast<int>(kLevels) + 1);
    EXPECT_TRUE(tree.matchesFilter(static_cast<int>(kLevels)));
    EXPECT_EQ(tree.data(tree.index(static_cast<int>(kLevels)), zrv::core::ObjectTreeModel::DepthRole).toInt(),
              static_cast<int>(kLevels));
    tree.setFilter({});
    EXPECT_EQ(tree.rowCount(), 4);
    EXPECT_EQ(tree.reveal(innermost), static_cast<int>(kLevels));
    EXPECT_EQ(tree.rowCount(), static_cast<int>(kLevels) + 3);
    EXPECT_EQ(tree.entryAt(tree.rowCount() - 2), objects.find(3000000));
}

} // namespace

// The object model keeps 9999 for a parent not yet assigned, but a station
// may have an object with that id: its children stay under it, without
// tripping the object model's precondition.
TEST(StationObjects, AnObjectWithIdNineNineNineNineKeepsItsChildren)
{
    const auto document = Read("<part id='9999'><name>Base</name><parent>1</parent>"
                               "<body id='20'><name>Jaw</name><parent>9999</parent></body></part>");
    const StationObjects objects(document->Root());
    EXPECT_EQ(Tree(objects).at("Base"), Names{"Jaw"});
}
