// Adding, removing, copying and pasting objects: kinds from the catalogue,
// fresh ids and next_dataid, references found and cleared, ids remapped
// among pasted objects and outside ones kept or reported; each leaves the
// id check clean.

#include <sdformat/IdCheck.h>
#include <sdformat/ObjectAdd.h>
#include <sdformat/ObjectCopy.h>
#include <sdformat/ObjectParent.h>
#include <sdformat/ObjectRemoval.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace sdf {
namespace {

// A frame anchored on a part, a second part attached to the first, a
// collision group naming both.
constexpr const char* kCell = R"(<sdf version='1.0'>
  <station id='1'>
    <next_dataid>20</next_dataid>
    <part id='2'><name>Table</name><parent>1</parent></part>
    <child>2</child>
    <part id='3'><name>Fixture</name><parent>1</parent></part>
    <child>3</child>
    <frame id='4'><name>Corner</name><parent>1</parent><anchor>2</anchor></frame>
    <child>4</child>
    <attachment id='5'><name>Fixture on table</name><parent>1</parent><source_id>3</source_id><target_id>2</target_id></attachment>
    <child>5</child>
  </station>
</sdf>
)";

std::string Problems(const Element& root)
{
    std::string out;
    for (const auto& p : IdCheck::Check(root))
        out += p.message + "\n";
    return out;
}

std::shared_ptr<Element> Child(const std::shared_ptr<Element>& parent, const std::string& label, int nth = 0)
{
    int seen = 0;
    for (const auto& child : parent->children(label))
        if (seen++ == nth)
            return child;
    return nullptr;
}

TEST(ObjectAdd, OffersTheCatalogueKindsAndAddsWithFreshIdUniqueNameAndListing)
{
    const auto doc = SDF::ReadSdfFromString(kCell);
    const auto station = doc->Root()->get("station");
    const auto kinds = ObjectAdd::Kinds(*station);
    for (const char* kind : {"part", "frame", "manipulator", "attachment"})
        EXPECT_NE(std::ranges::find(kinds, kind), kinds.end()) << kind;
    EXPECT_EQ(std::ranges::find(kinds, "next_dataid"), kinds.end());
    EXPECT_EQ(std::ranges::count(kinds, "part"), 1);
    EXPECT_TRUE(ObjectAdd::Kinds(*station->get("next_dataid")).empty());

    // next_dataid is above every id: the new one takes it.
    const auto part = ObjectAdd::Add(*station, "part");
    EXPECT_EQ(part->getId(), 20u);
    EXPECT_EQ(part->get("name")->getStringFromValue(), "part");
    EXPECT_EQ(part->asUInt("parent"), 1u);
    EXPECT_EQ(station->asUInt("next_dataid"), 21u);
    const auto second = ObjectAdd::Add(*station, "part");
    EXPECT_EQ(second->get("name")->getStringFromValue(), "part_2");
    EXPECT_EQ(second->getId(), 21u);
    EXPECT_EQ(Problems(*doc->Root()), "");

    // A manipulator brings objects it requires, each with an id of its own.
    ObjectAdd::Add(*station, "manipulator");
    EXPECT_EQ(Problems(*doc->Root()), "");
    EXPECT_GT(station->asUInt("next_dataid"), 23u);

    EXPECT_THROW(ObjectAdd::Add(*station, "pose"), std::invalid_argument);
    try {
        ObjectAdd::Add(*part, "station");
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "'station' is not an object that part can hold");
    }
}

TEST(ObjectAdd, GeometryPartHasABodyWithTheFile)
{
    const auto doc = SDF::ReadSdfFromString(kCell);
    const auto station = doc->Root()->get("station");
    const auto part = ObjectAdd::AddGeometryPart(*station, "Table", "meshes/table.gltf", "gltf");
    EXPECT_EQ(part->get("name")->getStringFromValue(), "Table_2");
    const auto body = part->get("body");
    ASSERT_TRUE(body);
    EXPECT_EQ(body->asUInt("parent"), part->getId());
    EXPECT_EQ(part->asUInt("child"), body->getId());
    EXPECT_EQ(body->get("geometry/uri")->getStringFromValue(), "meshes/table.gltf");
    EXPECT_EQ(body->get("geometry/file_type")->getStringFromValue(), "gltf");
    EXPECT_EQ(station->asUInt("next_dataid"), 22u);
    EXPECT_EQ(Problems(*doc->Root()), "");
}

TEST(ObjectRemoval, ListsReferencesAndClearsOrKeepsThem)
{
    const auto doc = SDF::ReadSdfFromString(kCell);
    const auto station = doc->Root()->get("station");
    const auto table = Child(station, "part");
    const auto found = ObjectRemoval::References(*table);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].path, "/sdf/station/frame/anchor");
    EXPECT_EQ(found[1].path, "/sdf/station/attachment/target_id");
    EXPECT_EQ(found[1].id, 2u);

    ObjectRemoval::Remove(table, ObjectRemoval::Dangling::Clear);
    EXPECT_EQ(Problems(*doc->Root()), "");
    EXPECT_EQ(Child(station, "part", 1), nullptr);
    EXPECT_EQ(station->asUInt("frame/anchor"), 0u);
    EXPECT_EQ(station->asUInt("attachment/source_id"), 3u);

    const auto kept = SDF::ReadSdfFromString(kCell);
    const auto keptStation = kept->Root()->get("station");
    ObjectRemoval::Remove(Child(keptStation, "part"), ObjectRemoval::Dangling::Keep);
    EXPECT_EQ(keptStation->asUInt("frame/anchor"), 2u);
    // The child list went with the table; the two references dangle.
    const std::string left = Problems(*kept->Root());
    EXPECT_EQ(std::ranges::count(left, '\n'), 2) << left;
}

TEST(ObjectCopy, PasteRenumbersWithinTheCopyAndKeepsOrReportsOutsideIds)
{
    const auto doc = SDF::ReadSdfFromString(kCell);
    const auto station = doc->Root()->get("station");
    // The fixture and its attachment to the table: the attachment's source
    // follows the copy, its target stays on the table.
    const std::string text = ObjectCopy::Write({Child(station, "part", 1).get(), Child(station, "attachment").get()});
    const auto same = ObjectCopy::Paste(text, *station);
    ASSERT_EQ(same.objects.size(), 2u);
    EXPECT_TRUE(same.unresolved.empty());
    const auto fixture = same.objects[0];
    const auto attachment = same.objects[1];
    EXPECT_EQ(fixture->getId(), 20u);
    EXPECT_EQ(fixture->get("name")->getStringFromValue(), "Fixture_2");
    EXPECT_EQ(attachment->asUInt("source_id"), 20u);
    EXPECT_EQ(attachment->asUInt("target_id"), 2u);
    EXPECT_EQ(station->asUInt("next_dataid"), 22u);
    EXPECT_EQ(Problems(*doc->Root()), "");

    // Into a station without the table: the target is cleared and reported.
    const auto other = SDF::ReadSdfFromString(
        "<sdf version='1.0'><station id='1'><part id='7'><name>Fixture</name><parent>1</parent></part>"
        "<child>7</child></station></sdf>");
    const auto otherStation = other->Root()->get("station");
    const auto there = ObjectCopy::Paste(text, *otherStation);
    ASSERT_EQ(there.unresolved.size(), 1u);
    EXPECT_EQ(there.unresolved[0].path, "Fixture on table/target_id");
    EXPECT_EQ(there.unresolved[0].id, 2u);
    EXPECT_EQ(there.objects[1]->asUInt("target_id"), 0u);
    EXPECT_EQ(there.objects[1]->asUInt("source_id"), there.objects[0]->getId());
    EXPECT_EQ(there.objects[0]->getId(), 8u);
    EXPECT_EQ(Problems(*other->Root()), "");

    EXPECT_THROW(ObjectCopy::Paste("<sdf version='1.0'><station id='1'/></sdf>", *station), std::invalid_argument);
    EXPECT_THROW(ObjectCopy::Paste(text, *fixture), std::invalid_argument);
}

TEST(ObjectCopy, ObjectsInsideOthersTravelInShellsAndPasteIntoTheirKind)
{
    // A link of a manipulator copied and pasted into another manipulator.
    const auto doc = SDF::ReadSdfFromString(R"(<sdf version='1.0'><station id='1'>
      <manipulator id='2'><name>Arm</name><parent>1</parent><wrist id='5'/>
        <link id='3'><name>base</name><parent>2</parent></link><child>3</child>
      </manipulator><child>2</child>
      <manipulator id='4'><name>Other</name><parent>1</parent><wrist id='6'/></manipulator><child>4</child>
    </station></sdf>)");
    const auto station = doc->Root()->get("station");
    const auto link = Child(Child(station, "manipulator"), "link");
    const std::string text = ObjectCopy::Write({link.get()});
    EXPECT_NE(text.find("<manipulator id='2'>"), std::string::npos) << text;
    const auto other = Child(station, "manipulator", 1);
    const auto pasted = ObjectCopy::Paste(text, *other);
    ASSERT_EQ(pasted.objects.size(), 1u);
    EXPECT_EQ(pasted.objects[0]->asUInt("parent"), 4u);
    EXPECT_EQ(pasted.objects[0]->get("name")->getStringFromValue(), "base");
    EXPECT_EQ(Problems(*doc->Root()), "");
    EXPECT_THROW(ObjectCopy::Paste(text, *station), std::invalid_argument);
}

TEST(ObjectParent, MovesTheListingAndRefusesLoopsAndUnknownParents)
{
    const auto doc = SDF::ReadSdfFromString(kCell);
    const auto station = doc->Root()->get("station");
    const auto table = Child(station, "part");
    const auto fixture = Child(station, "part", 1);
    ObjectParent::Set(*fixture, 2);
    EXPECT_EQ(fixture->asUInt("parent"), 2u);
    EXPECT_EQ(table->asUInt("child"), 3u);
    EXPECT_EQ(Problems(*doc->Root()), "");
    try {
        ObjectParent::Set(*table, 3);
        ADD_FAILURE() << "a loop was made";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "object 2 can not be its own parent, nor that of an object above it");
    }
    EXPECT_THROW(ObjectParent::Set(*table, 99), std::invalid_argument);
    EXPECT_EQ(table->asUInt("parent"), 1u);
    ObjectParent::Set(*fixture, 0);
    EXPECT_FALSE(table->exists("child"));
    EXPECT_EQ(Problems(*doc->Root()), "");
}

} // namespace
} // namespace sdf
