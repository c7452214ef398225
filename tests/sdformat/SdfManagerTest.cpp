#include "ObjectModelFixture.h"

#include <sdformat/SdfManager.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>

using namespace sdf;
using sdf::test::ChildElementIds;
using sdf::test::CountedObject;
using sdf::test::ObjectModelTest;
using sdf::test::TestContainer;
using sdf::test::TestNode;

namespace {

constexpr std::uint32_t MaxId = std::numeric_limits<std::uint32_t>::max();

// The counters live for the whole process, so their starting values can only
// be seen in a process of their own: this test program runs itself again with
// a filter that selects only the FreshProcess tests.
bool InFreshProcess()
{
    return std::getenv("ZRV_FRESH_PROCESS") != nullptr;
}

} // namespace

TEST(FreshProcess, CountersStartAtZeroAndBelowTheLargestId)
{
    if (!InFreshProcess())
        GTEST_SKIP() << "runs in its own process, started by IdCounters.StartValuesInAFreshProcess";
    EXPECT_EQ(SdfManager::GenerateNextId(), 0u);
    EXPECT_EQ(SdfManager::GenerateNextId(), 1u);
    EXPECT_EQ(SdfManager::GenerateTransientId(), 4294967294u);
    EXPECT_EQ(SdfManager::GenerateTransientId(), 4294967293u);
}

TEST(IdCounters, StartValuesInAFreshProcess)
{
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command =
        "ZRV_FRESH_PROCESS=1 '" + self + "' --gtest_filter='FreshProcess.*' --gtest_brief=1 > /dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "the fresh-process counter test failed; run it with " << command;
}

TEST(IdCounters, DataIdsCountUpFromTheLastSetValue)
{
    SdfManager::SetNextId(7);
    EXPECT_EQ(SdfManager::GenerateNextId(), 7u);
    EXPECT_EQ(SdfManager::GenerateNextId(), 8u);
    SdfManager::SetNextId(MaxId);
    EXPECT_EQ(SdfManager::GenerateNextId(), MaxId);
    EXPECT_EQ(SdfManager::GenerateNextId(), 0u) << "the counter wraps like any unsigned";
    SdfManager::SetNextId(0);
    EXPECT_EQ(SdfManager::GenerateNextId(), 0u);
}

TEST(IdCounters, TransientIdsCountDownAndIgnoreTheDataCounter)
{
    const std::uint32_t first = SdfManager::GenerateTransientId();
    EXPECT_LT(first, MaxId);
    SdfManager::SetNextId(first);
    EXPECT_EQ(SdfManager::GenerateTransientId(), first - 1);
    EXPECT_EQ(SdfManager::GenerateTransientId(), first - 2);
    EXPECT_EQ(SdfManager::GenerateNextId(), first);
}

using Registry = ObjectModelTest;

TEST_F(Registry, RegisteredObjectsAreFoundByIdAndRemovedWithoutBeingDeleted)
{
    SdfObject& part = make<SdfObject>(101, sdf::test::PlainKind);
    EXPECT_TRUE(SdfManager::Contains(101));
    EXPECT_EQ(SdfManager::Get<SdfObject>(101), &part);

    SdfManager::Remove(101);
    EXPECT_FALSE(SdfManager::Contains(101));
    EXPECT_THROW(SdfManager::Get<SdfObject>(101), std::out_of_range);
    EXPECT_EQ(part.getId(), 101u) << "a removed object stays alive";
}

TEST_F(Registry, UnknownIdsAndIdZeroAreAbsentUnlessRegistered)
{
    EXPECT_FALSE(SdfManager::Contains(0));
    EXPECT_FALSE(SdfManager::Contains(102));
    try {
        SdfManager::Get<SdfObject>(102);
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "no object is registered with id 102");
    }

    // An element without `id` attribute gives an object with id 0.
    SdfObject anonymous(station->append("part"), sdf::test::PlainKind);
    enter(anonymous);
    EXPECT_TRUE(SdfManager::Contains(0));
}

TEST_F(Registry, EmptyEntriesReadAsAbsentButCanBeRemovedAndFilled)
{
    ASSERT_TRUE(SdfManager::Register(103, nullptr));
    EXPECT_FALSE(SdfManager::Contains(103));
    EXPECT_EQ(SdfManager::Get<SdfObject>(103), nullptr) << "an empty entry is an entry: no exception";
    EXPECT_EQ(SdfManager::Get<SdfContainer>(103), nullptr);

    SdfManager::Remove(103);
    EXPECT_THROW(SdfManager::Get<SdfObject>(103), std::out_of_range);

    ASSERT_TRUE(SdfManager::Register(103, nullptr));
    SdfObject object(partElement(103), sdf::test::PlainKind);
    EXPECT_TRUE(SdfManager::Register(&object)) << "an empty entry is filled";
    registered.emplace_back(103, &object);
    EXPECT_EQ(SdfManager::Get<SdfObject>(103), &object);
    EXPECT_FALSE(SdfManager::Register(103, nullptr)) << "a placeholder never hides an object";
    EXPECT_EQ(SdfManager::Get<SdfObject>(103), &object);
}

TEST_F(Registry, RegisterNeverReplacesAnotherObject)
{
    SdfObject& first = make<SdfObject>(104, sdf::test::PlainKind);
    EXPECT_TRUE(SdfManager::Register(&first)) << "the same object again is fine";

    SdfObject copy(first);
    EXPECT_EQ(copy.getElement(), first.getElement());
    EXPECT_FALSE(SdfManager::Register(&copy));
    EXPECT_EQ(SdfManager::Get<SdfObject>(104), &first);
}

TEST_F(Registry, GetConvertsByRunTimeType)
{
    make<SdfObject>(105, sdf::test::PlainKind);
    TestNode& node = make<TestNode>(106);
    TestContainer& container = make<TestContainer>(107);

    EXPECT_EQ(SdfManager::Get<SdfNode>(105), nullptr);
    EXPECT_EQ(SdfManager::Get<SdfNode>(106), &node);
    EXPECT_EQ(SdfManager::Get<SdfContainer>(106), nullptr);
    EXPECT_EQ(SdfManager::Get<SdfNode>(107), &container);
    EXPECT_EQ(SdfManager::Get<SdfContainer>(107), &container);
}

TEST_F(Registry, GetObjectsKeepsExactlyOneKindAndSkipsEmptyEntries)
{
    make<TestNode>(111, ObjectType::Wrist);
    make<TestNode>(112, ObjectType::Group44);
    make<TestNode>(113, ObjectType::Wrist);
    ASSERT_TRUE(SdfManager::Register(114, nullptr));

    std::map<std::uint32_t, ObjectType> seen;
    for (const auto& [id, object] : SdfManager::inst()->getObjects(ObjectType::Wrist))
        if (id >= 111 && id <= 114)
            seen.emplace(id, object->getType());
    EXPECT_EQ(seen, (std::map<std::uint32_t, ObjectType>{{111, ObjectType::Wrist}, {113, ObjectType::Wrist}}));

    int group44 = 0;
    for (const auto& entry : SdfManager::inst()->getObjects(ObjectType::Group44))
        group44 += entry.first >= 111 && entry.first <= 114;
    EXPECT_EQ(group44, 1) << "the kind itself, not its group";
    SdfManager::Remove(114);
}

TEST_F(Registry, EraseAllChildrenDeletesTheDirectChildrenOnly)
{
    TestContainer& parent = make<TestContainer>(120);
    int destroyed = 0;
    auto* child = new TestContainer(partElement(121));
    auto* plain = new CountedObject(partElement(122), destroyed);
    ASSERT_TRUE(SdfManager::Register(child));
    ASSERT_TRUE(SdfManager::Register(plain));
    TestNode& grandchild = make<TestNode>(123);
    child->addObjChild(123);
    parent.addObjChildWithSdf(121);
    parent.addObjChildWithSdf(122);
    parent.addObjChild(122); // listed twice, deleted once

    SdfManager::EraseAllChildren(120);

    EXPECT_TRUE(parent.getObjChildren().empty());
    EXPECT_FALSE(SdfManager::Contains(121));
    EXPECT_FALSE(SdfManager::Contains(122));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(SdfManager::Get<SdfObject>(123), &grandchild) << "grandchildren stay registered";
    EXPECT_EQ(ChildElementIds(parent.getElement()), (std::vector<std::uint32_t>{121, 122}))
        << "the document is not touched";
}

TEST_F(Registry, EraseAllChildrenLeavesNonContainersAndEmptyContainersAlone)
{
    TestNode& node = make<TestNode>(130);
    make<TestContainer>(131);
    SdfManager::EraseAllChildren(130);
    SdfManager::EraseAllChildren(131);
    EXPECT_EQ(SdfManager::Get<SdfObject>(130), &node);
    EXPECT_TRUE(SdfManager::Contains(131));
    EXPECT_THROW(SdfManager::EraseAllChildren(139), std::out_of_range);
}

TEST_F(Registry, EraseAllChildrenWithAnUnregisteredChildChangesNothing)
{
    TestContainer& parent = make<TestContainer>(140);
    TestNode& registeredChild = make<TestNode>(141);
    parent.addObjChild(141);
    parent.addObjChild(149);

    try {
        SdfManager::EraseAllChildren(140);
        ADD_FAILURE() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "no object is registered with id 149");
    }
    EXPECT_EQ(parent.getObjChildren(), (std::vector<std::uint32_t>{141, 149}));
    EXPECT_EQ(SdfManager::Get<SdfObject>(141), &registeredChild);
}

#if ZRV_ASSERTS_ACTIVE
TEST(RegistryDeathTest, RemovingAnIdWithoutEntryBreaksThePrecondition)
{
    EXPECT_DEATH(SdfManager::Remove(4000000), "ASSERT failure: \"mobjs.contains\\(id\\)\" in src/sdformat/SdfManager");
}
#endif
