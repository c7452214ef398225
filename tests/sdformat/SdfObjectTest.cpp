#include "ObjectModelFixture.h"

#include <sdformat/ObjectType.h>
#include <sdformat/SdfObject.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <ranges>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

using namespace sdf;
using sdf::test::ObjectModelTest;
using sdf::test::PlainKind;
using sdf::test::TestContainer;
using sdf::test::TestNode;

namespace {

constexpr ObjectType Kind(std::uint64_t value)
{
    return ObjectType{value};
}

// The kinds from first to last that belong to group.
std::vector<std::uint64_t> Members(ObjectType group, std::uint64_t first, std::uint64_t last)
{
    std::vector<std::uint64_t> members;
    for (std::uint64_t k = first; k <= last; ++k)
        if (InGroup(Kind(k), group))
            members.push_back(k);
    return members;
}

std::vector<std::uint64_t> Range(std::uint64_t first, std::uint64_t last)
{
    std::vector<std::uint64_t> values;
    for (std::uint64_t k = first; k <= last; ++k)
        values.push_back(k);
    return values;
}

} // namespace

TEST(ObjectKinds, GroupsHoldTheirRunsAndNest)
{
    EXPECT_EQ(Members(ObjectType::Group8, 0, 70), Range(8, 11));
    EXPECT_EQ(Members(ObjectType::Group12, 0, 70), Range(12, 29));
    EXPECT_EQ(Members(ObjectType::Group13, 0, 70), Range(13, 14));
    EXPECT_EQ(Members(ObjectType::Group24, 0, 70), Range(24, 26));
    EXPECT_EQ(Members(ObjectType::Group30, 0, 70), Range(30, 36));
    EXPECT_EQ(Members(ObjectType::Group32, 0, 70), Range(32, 36));
    EXPECT_EQ(Members(ObjectType::Group37, 0, 70), Range(37, 43));
    EXPECT_EQ(Members(ObjectType::Group44, 0, 70), Range(44, 47));
    EXPECT_EQ(Members(ObjectType::Group51, 0, 70), Range(51, 56));
    EXPECT_EQ(Members(ObjectType::Group52, 0, 70), Range(53, 54)) << "52 is not in its own group";
    EXPECT_EQ(Members(ObjectType::Group55, 0, 70), Range(55, 56));
}

TEST(ObjectKinds, OtherValuesAreGroupsOfThemselvesOnly)
{
    for (std::uint64_t value : {0ull, 7ull, 9ull, 47ull, 48ull, 50ull, 57ull, 1ull << 40})
        EXPECT_EQ(Members(Kind(value), 0, 70), value <= 70 ? std::vector<std::uint64_t>{value} : std::vector<std::uint64_t>{})
            << value;
    EXPECT_TRUE(InGroup(Kind(1ull << 40), Kind(1ull << 40)));
    EXPECT_FALSE(InGroup(Kind((1ull << 32) + 47), ObjectType::Group44)) << "compared as 64-bit values";
}

using Objects = ObjectModelTest;

TEST_F(Objects, ConstructionReadsIdAndNameOnlyAndLeavesTheParentUnassigned)
{
    const auto bare = station->append("part");
    SdfObject anonymous(bare, PlainKind);
    EXPECT_EQ(anonymous.getId(), 0u);
    EXPECT_EQ(anonymous.getDisplayString(), "");
    EXPECT_FALSE(bare->exists("name")) << "reading the name creates nothing";

    const auto element = partElement(200, "Box");
    element->set<unsigned int>("parent", 17);
    SdfObject box(element, Kind(13));
    EXPECT_EQ(box.getId(), 200u);
    EXPECT_EQ(box.getType(), Kind(13));
    EXPECT_EQ(box.getDisplayString(), "Box");
    EXPECT_EQ(box.getElement(), element);
    EXPECT_TRUE(box.isType(Kind(13)));
    EXPECT_TRUE(box.asType(ObjectType::Group12));
    EXPECT_FALSE(box.isTopLevel());
    EXPECT_FALSE(box.isStandalone());
    EXPECT_FALSE(SdfManager::Contains(200));

    box.setObjParentAsDefault();
    EXPECT_TRUE(box.isTopLevel());
    EXPECT_TRUE(box.isStandalone());
    EXPECT_EQ(box.objectParent(), nullptr);
}

TEST_F(Objects, SetNameWritesTheDocumentOnlyWhenItHasANameChild)
{
    const auto named = partElement(201, "Old");
    SdfObject object(named, PlainKind);
    object.setName("New");
    EXPECT_EQ(object.getDisplayString(), "New");
    EXPECT_EQ(named->asString("name"), "New");

    const auto unnamed = station->append("part");
    SdfObject anonymous(unnamed, PlainKind);
    anonymous.setName("Ignored");
    EXPECT_EQ(anonymous.getDisplayString(), "");
    EXPECT_FALSE(unnamed->exists("name"));
}

TEST_F(Objects, ParentWithSdfWritesTheDocumentAndPlainParentDoesNot)
{
    const auto element = partElement(202);
    ASSERT_FALSE(element->exists("parent"));
    SdfObject object(element, PlainKind);
    object.setObjParentWithSdf(5);
    EXPECT_EQ(element->asUInt("parent"), 5u);
    object.setObjParent(6);
    EXPECT_EQ(object.getObjParentId(), 6u);
    EXPECT_EQ(element->asUInt("parent"), 5u);
    object.setObjParentWithSdf(0);
    EXPECT_EQ(element->asUInt("parent"), 0u);
    EXPECT_TRUE(object.isTopLevel());
}

TEST_F(Objects, CopiesShareTheElementAndKeepEveryField)
{
    SdfObject original(partElement(203, "Shared"), Kind(30));
    original.setObjParent(8);
    SdfObject copy(original);
    EXPECT_EQ(copy.getId(), 203u);
    EXPECT_EQ(copy.getType(), Kind(30));
    EXPECT_EQ(copy.getObjParentId(), 8u);
    EXPECT_EQ(copy.getElement(), original.getElement());
    copy.setName("Renamed");
    EXPECT_EQ(original.getElement()->asString("name"), "Renamed") << "one element behind both";
    EXPECT_EQ(original.getDisplayString(), "Shared") << "but each has its own cache";
}

TEST_F(Objects, ObjectParentsResolveThroughTheRegistry)
{
    TestContainer& grandparent = make<TestContainer>(210);
    TestContainer& parent = make<TestContainer>(211);
    SdfObject& child = make<SdfObject>(212, PlainKind);
    TestNode& node = make<TestNode>(213);
    grandparent.setObjParentAsDefault();
    parent.setObjParent(210);
    child.setObjParent(211);
    parent.addObjChild(99);
    parent.addObjChild(212);

    EXPECT_EQ(child.objectParent(), &parent);
    EXPECT_TRUE(child.isChildOf(211));
    EXPECT_FALSE(child.isChildOf(210));
    EXPECT_TRUE(child.isDescendantOf(211));
    EXPECT_TRUE(child.isDescendantOf(210));
    EXPECT_FALSE(child.isDescendantOf(212)) << "the object itself is not compared";
    EXPECT_EQ(child.getIndex(), 1u);

    child.setObjParent(213);
    EXPECT_EQ(child.objectParent(), nullptr) << "a node is no container";
    EXPECT_FALSE(child.isChildOf(213));
    EXPECT_FALSE(child.isDescendantOf(213));

    child.setObjParent(219);
    EXPECT_THROW(child.objectParent(), std::out_of_range);
    (void)node;
}

TEST_F(Objects, LoopingParentsEndTheWalk)
{
    TestContainer& a = make<TestContainer>(220);
    TestContainer& b = make<TestContainer>(221);
    a.setObjParent(221);
    b.setObjParent(220);
    EXPECT_TRUE(a.isDescendantOf(220)) << "a is its own ancestor through b";
    EXPECT_FALSE(a.isDescendantOf(229));
    int calls = 0;
    EXPECT_FALSE(a.anyOfAncestor([&calls](const SdfObject*) { return ++calls, false; }, false));
    EXPECT_GT(calls, 1);
}

TEST_F(Objects, LibraryMembershipIsAnExactMatch)
{
    const auto element = station->appendObject("smart_component", 230, "Gripper");
    SdfObject object(element, PlainKind);
    EXPECT_FALSE(object.isConnectedToLibrary()) << "no document_type";

    const auto check = [&](const std::string& value) {
        element->set<std::string>("document_type", value);
        return object.isConnectedToLibrary();
    };
    EXPECT_FALSE(check(""));
    EXPECT_FALSE(check("systemlibrary"));
    EXPECT_FALSE(check("UserLibrary "));
    EXPECT_TRUE(check("SystemLibrary"));
    EXPECT_TRUE(check("UserLibrary"));

    enter(object);
    EXPECT_TRUE(SdfObject::IsConnectedToLibrary(230));
    EXPECT_FALSE(SdfObject::IsConnectedToLibrary(239));

    SdfObject atZero(station->appendObject("smart_component", 0, ""), PlainKind);
    atZero.getElement()->set<std::string>("document_type", "UserLibrary");
    enter(atZero);
    EXPECT_TRUE(atZero.isConnectedToLibrary());
    EXPECT_FALSE(SdfObject::IsConnectedToLibrary(0)) << "id 0 means no object";
}

TEST_F(Objects, UserFilesOfOneNameAreAddedTwiceAndRemovedTogether)
{
    const auto element = partElement(240);
    SdfObject object(element, PlainKind);
    object.addAttachment("notes.txt", "file:///a/notes.txt");
    object.addAttachment("drawing.pdf", "file:///drawing.pdf");
    object.addAttachment("notes.txt", "file:///b/notes.txt");

    EXPECT_EQ(std::ranges::distance(element->children("user_file")), 3);
    EXPECT_TRUE(object.hasAttachment("notes.txt"));
    EXPECT_FALSE(object.hasAttachment("Notes.txt"));
    using Files = std::vector<SdfObject::Attachment>;
    EXPECT_EQ(object.attachments(), (Files{{"notes.txt", "file:///a/notes.txt"},
                                           {"drawing.pdf", "file:///drawing.pdf"},
                                           {"notes.txt", "file:///b/notes.txt"}}));

    object.removeAttachment("notes.txt");
    EXPECT_FALSE(object.hasAttachment("notes.txt"));
    EXPECT_EQ(object.attachments(), (Files{{"drawing.pdf", "file:///drawing.pdf"}}));
    object.removeAttachment("missing");
    EXPECT_EQ(object.attachments().size(), 1u);
}

TEST_F(Objects, ReadingUserFilesSuppliesAMissingFileName)
{
    const auto element = partElement(241);
    const auto userFile = element->append("user_file");
    ASSERT_FALSE(userFile->exists("file_name"));
    SdfObject object(element, PlainKind);
    EXPECT_EQ(object.attachments(), (std::vector<SdfObject::Attachment>{{"", ""}}));
    EXPECT_TRUE(userFile->exists("file_name"));
    EXPECT_TRUE(object.hasAttachment(""));
}

TEST_F(Objects, AncestorSearchGoesNearestFirstAndTestsSelfOnlyWhenAsked)
{
    TestContainer& top = make<TestContainer>(250);
    TestContainer& middle = make<TestContainer>(251);
    SdfObject& leaf = make<SdfObject>(252, PlainKind);
    top.setObjParentAsDefault();
    middle.setObjParent(250);
    leaf.setObjParent(251);

    std::vector<std::uint32_t> visited;
    const auto record = [&visited](const SdfObject* o) {
        visited.push_back(o->getId());
        return false;
    };
    EXPECT_FALSE(leaf.anyOfAncestor(record, false));
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{251, 250}));
    visited.clear();
    EXPECT_FALSE(leaf.anyOfAncestor(record, true));
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{252, 251, 250}));

    visited.clear();
    EXPECT_FALSE(top.anyOfAncestor(record, false));
    EXPECT_TRUE(visited.empty()) << "a top-level object has no ancestors to test";
    EXPECT_FALSE(top.anyOfAncestor(record, true));
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{250}));

    const auto isMiddle = [](const SdfObject* o) { return o->getId() == 251; };
    EXPECT_TRUE(SdfObject::AnyOfAncestor(252, isMiddle, false));
    EXPECT_FALSE(SdfObject::AnyOfAncestor(251, isMiddle, false));
    EXPECT_TRUE(SdfObject::AnyOfAncestor(251, isMiddle, true));
    EXPECT_FALSE(SdfObject::AnyOfAncestor(0, isMiddle, true));
    EXPECT_FALSE(SdfObject::AnyOfAncestor(259, isMiddle, true));

    EXPECT_FALSE(leaf.anyOfDescendant(isMiddle, true));
    EXPECT_TRUE(SdfObject::AnyOfDescendant(252, [](const SdfObject*) { return true; }, true));
    EXPECT_FALSE(SdfObject::AnyOfDescendant(252, [](const SdfObject*) { return true; }, false))
        << "a plain object has no descendants";
    EXPECT_THROW(leaf.anyOfAncestor(SdfObject::Predicate(), false), std::bad_function_call);
}

#if ZRV_ASSERTS_ACTIVE
TEST_F(Objects, UnassignedParentsBreakThePrecondition)
{
    SdfObject object(partElement(260), PlainKind);
    EXPECT_DEATH(object.getObjParentId(), "ASSERT failure: \"objParentId != 9999\" in src/sdformat/SdfObject");
    EXPECT_DEATH(object.objectParent(), "ASSERT failure: \"objParentId != 9999\" in src/sdformat/SdfObject");
}
#endif
