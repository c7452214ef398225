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
#include <utility>
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

// The tree's rows as (id, depth), read from the model.
std::vector<std::pair<uint, int>> Rows(const zrv::core::ObjectTreeModel& tree)
{
    std::vector<std::pair<uint, int>> rows;
    for (int row = 0; row < tree.rowCount(); ++row) {
        const QModelIndex at = tree.index(row);
        rows.emplace_back(tree.data(at, zrv::core::ObjectTreeModel::ObjectIdRole).toUInt(),
                          tree.data(at, zrv::core::ObjectTreeModel::DepthRole).toInt());
    }
    return rows;
}

// The rows as a view holds them: kept up to date from the model's signals
// alone, so that a change the model makes without saying so shows.
class SignalledRows
{
public:
    explicit SignalledRows(zrv::core::ObjectTreeModel& tree) : tree(tree), rows(Rows(tree))
    {
        QObject::connect(&tree, &QAbstractItemModel::modelReset, [this] { rows = Rows(this->tree); });
        QObject::connect(&tree, &QAbstractItemModel::rowsRemoved, [this](const QModelIndex&, int first, int last) {
            rows.erase(rows.begin() + first, rows.begin() + last + 1);
        });
        QObject::connect(&tree, &QAbstractItemModel::rowsInserted, [this](const QModelIndex&, int first, int last) {
            const auto now = Rows(this->tree);
            rows.insert(rows.begin() + first, now.begin() + first, now.begin() + last + 1);
        });
    }
    const std::vector<std::pair<uint, int>>& get() const { return rows; }

private:
    zrv::core::ObjectTreeModel& tree;
    std::vector<std::pair<uint, int>> rows;
};

// Typing on narrows the last answer, taking letters back widens it again,
// and the rows may change in place rather than all at once: whatever the
// path to a text, the rows are those of a fresh search for it, and a view
// following the signals shows the same. Clearing shows the tree as the
// user left it.
TEST(ObjectTreeFind, RowsDependOnTheTextAloneWhicheverWayItWasTyped)
{
    const auto document = Read(R"(
        <assembly id='10'><name>Fixture</name><parent>1</parent><child>12</child><child>11</child></assembly>
        <part id='11'><name>Clamp A</name><parent>10</parent></part>
        <part id='12'><name>Clamp B</name><parent>10</parent>
          <body id='30'><name>Jaw</name></body>
        </part>
        <part id='13'><name>Jig</name><parent>1</parent>
          <body id='31'><name>Clamp plate</name></body>
        </part>
        <assembly id='14'><name>Rack</name><parent>1</parent></assembly>
        <part id='15'><name>Tray 12</name><parent>14</parent></part>
        <part id='40'><name>Spare</name></part>)");
    const StationObjects objects(document->Root());
    zrv::core::ObjectTreeModel tree;
    tree.reset(&objects);
    // The user closed the jig before searching.
    tree.setExpanded(tree.rowOf(objects.find(13)), false);
    const auto opened = Rows(tree);
    SignalledRows view(tree);

    const std::vector<QString> typed = {"c",       "cl",  "cla", "clamp", "clamp b", "clamp", "c", "ja",
                                        "j",       "",    "12",  "1",     "body",    "bod",   "X", "",
                                        "Spare",   "sp",  "a",   "ra",    "rack",    "",      "r", "re"};
    for (const QString& text : typed) {
        tree.setFilter(text);
        zrv::core::ObjectTreeModel fresh;
        fresh.reset(&objects);
        fresh.setFilter(text);
        EXPECT_EQ(Rows(tree), Rows(fresh)) << "after typing '" << text.toStdString() << "'";
        EXPECT_EQ(view.get(), Rows(tree)) << "the view after '" << text.toStdString() << "'";
        if (text.isEmpty()) {
            EXPECT_EQ(Rows(tree), opened);
        }
    }
    // Spot checks of what a search shows: the matches, each with its
    // ancestors, all open; an id matches as do names holding it.
    tree.setFilter("clamp b");
    EXPECT_EQ(Rows(tree), (std::vector<std::pair<uint, int>>{{1, 0}, {10, 1}, {12, 2}}));
    tree.setFilter("12");
    EXPECT_EQ(Rows(tree), (std::vector<std::pair<uint, int>>{{1, 0}, {10, 1}, {12, 2}, {14, 1}, {15, 2}}));
    EXPECT_FALSE(tree.matchesFilter(0));
    EXPECT_TRUE(tree.matchesFilter(4));
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
