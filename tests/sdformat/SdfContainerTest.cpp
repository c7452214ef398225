#include "ObjectModelFixture.h"

#include <sdformat/NodePose.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/WristInterface.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using namespace sdf;
using sdf::test::ChildElementIds;
using sdf::test::ObjectModelTest;
using sdf::test::PlainKind;
using sdf::test::TestContainer;
using sdf::test::TestNode;

namespace {

using Ids = std::vector<std::uint32_t>;
using Pose = zrv::rob::PoseTemplate<double>;

Pose SomePose()
{
    Pose pose;
    pose.pos.x = 1.5;
    pose.pos.y = -2;
    pose.pos.z = 3;
    pose.orient.w = 0;
    pose.orient.z = 1;
    return pose;
}

// Labels of an element's children, in order.
std::vector<std::string> Labels(const std::shared_ptr<Element>& element)
{
    std::vector<std::string> labels;
    for (const auto& child : element->elements())
        labels.push_back(child->label());
    return labels;
}

} // namespace

using Nodes = ObjectModelTest;

TEST_F(Nodes, PoseStartsAtTheDefaultAndSetPoseWritesTheDocument)
{
    const auto element = partElement(300);
    element->set("pose", SomePose());
    TestNode node(element);
    EXPECT_EQ(node.getPose(), Pose()) << "the stored pose is not read";

    Pose other = SomePose();
    other.pos.z = 9;
    node.setPose(other);
    EXPECT_EQ(node.getPose(), other);
    EXPECT_EQ(element->asPose("pose"), other);

    const auto withoutPose = station->append("view_point");
    ASSERT_FALSE(withoutPose->exists("pose"));
    TestNode camera(withoutPose);
    camera.setPose(other);
    EXPECT_EQ(withoutPose->asPose("pose"), other) << "a missing pose child is created";
}

TEST_F(Nodes, VisualParentStaysInMemory)
{
    const auto element = partElement(301);
    TestNode node(element);
    EXPECT_EQ(node.getVisParentId(), 0u);
    EXPECT_EQ(node.visualParent(), nullptr);

    node.setVisAndObjParent(4);
    EXPECT_EQ(node.getVisParentId(), 4u);
    EXPECT_EQ(node.getObjParentId(), 4u);
    EXPECT_FALSE(element->exists("parent"));

    node.setVisAndObjParentWithSdf(5);
    EXPECT_EQ(node.getVisParentId(), 5u);
    EXPECT_EQ(node.getObjParentId(), 5u);
    EXPECT_EQ(element->asUInt("parent"), 5u);
    EXPECT_EQ(element->get("parent")->parent(), element);
    EXPECT_EQ(std::ranges::distance(element->children("parent")), 1) << "one parent child, no visual one";
}

TEST_F(Nodes, VisualParentsResolveToNodesOnly)
{
    TestNode& top = make<TestNode>(310);
    TestNode& middle = make<TestNode>(311);
    TestNode& leaf = make<TestNode>(312);
    SdfObject& plain = make<SdfObject>(313, PlainKind);
    middle.setVisualParent(310);
    leaf.setVisualParent(311);

    EXPECT_EQ(leaf.visualParent(), &middle);
    EXPECT_TRUE(leaf.isDescendantVisualOf(311));
    EXPECT_TRUE(leaf.isDescendantVisualOf(310));
    EXPECT_FALSE(leaf.isDescendantVisualOf(312));
    EXPECT_FALSE(top.isDescendantVisualOf(310));

    middle.setVisualParent(313);
    EXPECT_EQ(middle.visualParent(), nullptr) << "not a node";
    EXPECT_FALSE(leaf.isDescendantVisualOf(313));
    middle.setVisualParent(319);
    EXPECT_THROW(leaf.isDescendantVisualOf(310), std::out_of_range);
    (void)plain;
}

TEST_F(Nodes, PoseByIdReachesTheNodesOwnOperations)
{
    WristInterface wrist(partElement(320), nullptr, 1);
    enter(wrist);
    EXPECT_EQ(GetPose(320), Pose());
    SetPose(320, SomePose());
    EXPECT_EQ(wrist.getPose(), SomePose());
    EXPECT_EQ(GetPose(320), SomePose());
    EXPECT_EQ(wrist.getElement()->asPose("pose"), SomePose());
    EXPECT_THROW(GetPose(329), std::out_of_range);
}

TEST(Wrists, AreContainersOfTheWristKindBoundToTheApplication)
{
    const auto root = CreateRootElement();
    const auto station = root->append("station");
    const auto wristElement = station->append("manipulator")->get("wrist");
    ASSERT_TRUE(wristElement);
    zrv::layout::Manipulator robot;
    zrv::task::Task task;

    WristInterface wrist(wristElement, &robot, 3);
    EXPECT_EQ(wrist.getType(), ObjectType::Wrist);
    EXPECT_EQ(static_cast<std::uint64_t>(wrist.getType()), 47u);
    EXPECT_TRUE(wrist.isType(ObjectType::Wrist));
    EXPECT_TRUE(wrist.asType(ObjectType::Group44));
    EXPECT_FALSE(wrist.asType(ObjectType::Group37));
    EXPECT_EQ(wrist.getManipulator(), &robot);
    EXPECT_EQ(wrist.getRobotId(), 3u);
    EXPECT_EQ(wrist.getTask(), nullptr);
    wrist.setTask(&task);
    EXPECT_EQ(wrist.getTask(), &task);
    wrist.setTask(nullptr);
    EXPECT_EQ(wrist.getTask(), nullptr);
}

using Containers = ObjectModelTest;

TEST_F(Containers, MoveChildKeepsListAndDocumentInStep)
{
    TestContainer& box = make<TestContainer>(400);
    box.addObjChildWithSdf(5);
    box.addObjChildWithSdf(7);
    box.addObjChildWithSdf(9);
    ASSERT_EQ(box.getObjChildren(), (Ids{5, 7, 9}));
    ASSERT_EQ(ChildElementIds(box.getElement()), (Ids{5, 7, 9}));

    box.moveChild(7, 0);
    EXPECT_EQ(box.getObjChildren(), (Ids{7, 5, 9}));
    EXPECT_EQ(ChildElementIds(box.getElement()), (Ids{7, 5, 9}));

    box.moveChild(5, 2);
    EXPECT_EQ(box.getObjChildren(), (Ids{7, 9, 5}));
    EXPECT_EQ(ChildElementIds(box.getElement()), (Ids{7, 9, 5}));
    EXPECT_EQ(box.getElement()->elements().back()->asUInt(), 5u) << "moved to the very end";
}

TEST_F(Containers, RemoveWithSdfTakesTheChildElementAndThePlainRemoveDoesNot)
{
    TestContainer& box = make<TestContainer>(401);
    for (std::uint32_t id : {5u, 7u, 9u})
        box.addObjChildWithSdf(id);

    box.removeObjChildWithSdf(7);
    EXPECT_EQ(box.getObjChildren(), (Ids{5, 9}));
    EXPECT_EQ(ChildElementIds(box.getElement()), (Ids{5, 9}));

    box.removeObjChild(9);
    EXPECT_EQ(box.getObjChildren(), (Ids{5}));
    EXPECT_EQ(ChildElementIds(box.getElement()), (Ids{5, 9}));
    box.addObjChild(9);
    box.moveChild(9, 0);
    EXPECT_EQ(ChildElementIds(box.getElement()), (Ids{9, 5})) << "the reference survived the plain remove";
}

TEST_F(Containers, RepeatedIdsAreListedTwiceFoundFirstAndRemovedTogether)
{
    TestContainer& box = make<TestContainer>(402);
    box.addObjChild(3);
    box.addObjChild(4);
    box.addObjChild(3);
    EXPECT_EQ(box.getObjChildren(), (Ids{3, 4, 3}));
    EXPECT_EQ(box.getChildIndex(3), 0u);
    EXPECT_EQ(box.getChildIndex(4), 1u);
    box.removeObjChild(3);
    EXPECT_EQ(box.getObjChildren(), (Ids{4}));
    EXPECT_TRUE(ChildElementIds(box.getElement()).empty());
}

TEST_F(Containers, InsertingPlacesBeforeTheIndexInListAndDocument)
{
    TestContainer& box = make<TestContainer>(403);
    box.addObjChild(1, 0);
    box.addObjChild(2, 1);
    box.addObjChild(3, 0);
    EXPECT_EQ(box.getObjChildren(), (Ids{3, 1, 2}));

    TestContainer& doc = make<TestContainer>(404);
    doc.addObjChildWithSdf(10);
    doc.addObjChildWithSdf(20);
    doc.addObjChildWithSdf(15, 1);
    doc.addObjChildWithSdf(5, 0);
    EXPECT_EQ(doc.getObjChildren(), (Ids{5, 10, 15, 20}));
    EXPECT_EQ(ChildElementIds(doc.getElement()), (Ids{5, 10, 15, 20}));

    doc.getElement()->set<std::string>("uri", "model.step"); // a later sibling of another label
    doc.addObjChildWithSdf(25, 4);
    EXPECT_EQ(doc.getObjChildren(), (Ids{5, 10, 15, 20, 25}));
    EXPECT_EQ(doc.getElement()->elements().back()->asUInt(), 25u) << "at the very end of the element";
    doc.removeObjChildWithSdf(15);
    doc.moveChild(25, 0);
    EXPECT_EQ(ChildElementIds(doc.getElement()), (Ids{25, 5, 10, 20}));
}

TEST_F(Containers, AdoptingStoredChildElementsAndAddingTwiceKeepsTheFirstElement)
{
    const auto element = partElement(405);
    for (std::uint32_t id : {6u, 8u})
        element->append("child")->setValue<unsigned int>(id);
    TestContainer box(element);
    EXPECT_TRUE(box.getObjChildren().empty()) << "stored children are not read";
    for (const auto& child : element->children("child"))
        box.addObjChild(child);
    EXPECT_EQ(box.getObjChildren(), (Ids{6, 8}));
    box.moveChild(8, 0);
    EXPECT_EQ(ChildElementIds(element), (Ids{8, 6}));

    box.addObjChildWithSdf(6);
    EXPECT_EQ(box.getObjChildren(), (Ids{8, 6, 6}));
    EXPECT_EQ(ChildElementIds(element), (Ids{8, 6, 6}));
    box.removeObjChildWithSdf(6);
    EXPECT_EQ(box.getObjChildren(), (Ids{8}));
    EXPECT_EQ(ChildElementIds(element), (Ids{8, 6})) << "only the first element of 6 was remembered";
    EXPECT_EQ(Labels(element).back(), "child");
}

TEST_F(Containers, ChildLinksComeFromTheChildrenAndListsFromTheList)
{
    TestContainer& box = make<TestContainer>(410);
    TestContainer& other = make<TestContainer>(411);
    SdfObject& unlisted = make<SdfObject>(412, PlainKind);
    SdfObject& elsewhere = make<SdfObject>(413, PlainKind);
    SdfObject& grandchild = make<SdfObject>(414, PlainKind);
    box.setObjParentAsDefault();
    other.setObjParent(410);
    unlisted.setObjParent(410);
    elsewhere.setObjParent(411);
    grandchild.setObjParent(411);
    box.addObjChild(413);

    EXPECT_TRUE(box.hasObjChild(412)) << "its parent is the box, listed or not";
    EXPECT_FALSE(box.hasObjChild(413)) << "listed, but its parent is another container";
    EXPECT_TRUE(box.hasDescendant(414));
    EXPECT_FALSE(other.hasDescendant(412));
    EXPECT_THROW(box.hasObjChild(419), std::out_of_range);
    EXPECT_EQ(box.getChildren(), (std::vector<SdfObject*>{&elsewhere}));
}

TEST_F(Containers, ChildrenOfAKindGroupKeepTheirOrder)
{
    TestContainer& box = make<TestContainer>(420);
    make<TestNode>(421, ObjectType::Wrist);
    make<TestNode>(422, ObjectType::Group12);
    make<TestNode>(423, ObjectType::Group44);
    for (std::uint32_t id : {421u, 422u, 423u})
        box.addObjChild(id);
    EXPECT_EQ(box.getObjChildren(ObjectType::Group44), (Ids{421, 423}));
    EXPECT_EQ(box.getObjChildren(ObjectType::Wrist), (Ids{421}));
    EXPECT_TRUE(box.getObjChildren(ObjectType::Group8).empty());
    box.addObjChild(429);
    EXPECT_THROW(box.getObjChildren(ObjectType::Group44), std::out_of_range);
    EXPECT_THROW(box.getChildren(), std::out_of_range);
    box.removeObjChild(429);
    EXPECT_EQ(box.getChildren().size(), 3u) << "the lock was released by the failure";
}

TEST_F(Containers, DescendantSearchIsDepthFirstInListOrder)
{
    TestContainer& top = make<TestContainer>(430);
    TestContainer& first = make<TestContainer>(431);
    make<SdfObject>(432, PlainKind);
    make<SdfObject>(433, PlainKind);
    make<SdfObject>(434, PlainKind);
    top.addObjChild(431);
    top.addObjChild(434);
    first.addObjChild(432);
    first.addObjChild(433);

    Ids visited;
    const auto record = [&visited](const SdfObject* o) {
        visited.push_back(o->getId());
        return false;
    };
    EXPECT_FALSE(SdfObject::AnyOfDescendant(430, record, true));
    EXPECT_EQ(visited, (Ids{430, 431, 432, 433, 434}));
    visited.clear();
    EXPECT_FALSE(static_cast<const SdfObject&>(top).anyOfDescendant(record, false));
    EXPECT_EQ(visited, (Ids{431, 432, 433, 434}));

    visited.clear();
    const auto upTo433 = [&](const SdfObject* o) {
        record(o);
        return o->getId() == 433;
    };
    EXPECT_TRUE(SdfObject::AnyOfDescendant(430, upTo433, false));
    EXPECT_EQ(visited, (Ids{431, 432, 433})) << "the first match ends the search";

    first.addObjChild(430); // a loop back to the top
    visited.clear();
    EXPECT_FALSE(SdfObject::AnyOfDescendant(430, record, true));
    EXPECT_EQ(visited, (Ids{430, 431, 432, 433, 430, 434}));
}

TEST_F(Containers, ASearchInsideASearchAnswersAsThePlainRecursion)
{
    // A cell holds an assembly of the parts "Bracket" and "Plate".
    TestContainer& cell = make<TestContainer>(450);
    TestContainer& assembly = make<TestContainer>(451);
    const auto part = [this](std::uint32_t id, std::string_view name) -> SdfObject& {
        owned.push_back(std::make_unique<SdfObject>(partElement(id, name), PlainKind));
        enter(*owned.back());
        owned.back()->setObjParent(451);
        return *owned.back();
    };
    part(452, "Bracket");
    part(453, "Plate");
    cell.setObjParentAsDefault();
    assembly.setObjParent(450);
    cell.addObjChild(451);
    assembly.addObjChild(452);
    assembly.addObjChild(453);

    const auto named = [](std::string name) {
        return [name](const SdfObject* o) { return o->getDisplayString() == name; };
    };
    // "Is there a Plate whose assembly also holds a Bracket?"
    int innerSearches = 0;
    const auto plateBesideBracket = [&](const SdfObject* o) {
        if (o->getDisplayString() != "Plate")
            return false;
        ++innerSearches;
        return SdfObject::AnyOfDescendant(o->objectParent()->getId(), named("Bracket"), false);
    };
    EXPECT_TRUE(SdfObject::AnyOfDescendant(451, named("Bracket"), false));
    EXPECT_TRUE(SdfObject::AnyOfDescendant(450, plateBesideBracket, false));
    EXPECT_EQ(innerSearches, 1);

    // The assembly lists the cell again: every search still ends, and the
    // inner one is not cut short by the outer one's place in the loop.
    assembly.addObjChild(450);
    EXPECT_FALSE(SdfObject::AnyOfDescendant(450, named("Nut"), true));
    innerSearches = 0;
    EXPECT_TRUE(SdfObject::AnyOfDescendant(450, plateBesideBracket, false));
    EXPECT_EQ(innerSearches, 1);
    int visits = 0;
    const auto searchAgainEverywhere = [&](const SdfObject*) {
        ++visits;
        return SdfObject::AnyOfDescendant(450, named("Nut"), true);
    };
    EXPECT_FALSE(SdfObject::AnyOfDescendant(450, searchAgainEverywhere, true));
    EXPECT_EQ(visits, 5) << "cell, assembly, its two parts, then the cell met again";
}

#if ZRV_ASSERTS_ACTIVE
TEST_F(Containers, BrokenPreconditionsStopDebugBuilds)
{
    TestContainer& box = make<TestContainer>(440);
    box.addObjChild(1);
    EXPECT_DEATH(box.moveChild(1, 0), "ASSERT failure: \"references.contains\\(id\\)\" in src/sdformat/SdfContainer");
    EXPECT_DEATH(box.removeObjChildWithSdf(1), "ASSERT failure: \"references.contains\\(id\\)\"");
    EXPECT_DEATH(box.getChildIndex(2), "ASSERT failure: \"id is listed\" in src/sdformat/SdfContainer");
    EXPECT_DEATH(box.addObjChild(2, 2), "ASSERT failure: \"index <= objChildren.size\\(\\)\"");
    EXPECT_DEATH(box.addObjChildWithSdf(2, 2), "ASSERT failure: \"index <= objChildren.size\\(\\)\"");
    box.addObjChildWithSdf(3);
    EXPECT_DEATH(box.moveChild(3, 2), "ASSERT failure: \"index <= shortened objChildren.size\\(\\)\"");
    make<SdfObject>(441, PlainKind);
    EXPECT_DEATH(GetPose(441), "ASSERT failure: \"the object is a node\" in src/sdformat/SdfContainer");
}
#endif
