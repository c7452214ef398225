// Which values of a read document name objects: the common object fields,
// catalogue-specific references, and look-alikes that are not ids.

#include <sdformat/Element.h>
#include <sdformat/IdField.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

namespace sdf {
namespace {

TEST(IdField, TellsObjectIdsFromOtherNumbers)
{
    const auto document = SDF::ReadSdfFromString(R"(<sdf version='1.0'><station id='1'><name>Cell</name>
        <frame id='4'><name>F</name><parent>1</parent><anchor>2</anchor><pose>0 0 0 1 0 0 0</pose></frame>
        <part id='2'><name>A</name><parent>1</parent><child>4</child><pose>0 0 0 1 0 0 0</pose></part>
        </station></sdf>)");
    const auto station = document->Root()->get("station");
    EXPECT_TRUE(HoldsObjectId(*station->get("frame/parent")));
    EXPECT_TRUE(HoldsObjectId(*station->get("frame/anchor")));
    EXPECT_TRUE(HoldsObjectId(*station->get("part/child")));
    EXPECT_FALSE(HoldsObjectId(*station->get("part/pose")));
    EXPECT_FALSE(HoldsObjectId(*station->get("name")));
    EXPECT_FALSE(HoldsObjectId(*station));
    // Detached from its document, an element is no longer known.
    const auto anchor = station->get("frame/anchor");
    station->get("frame")->remove(anchor);
    EXPECT_FALSE(HoldsObjectId(*anchor));
}

} // namespace
} // namespace sdf
