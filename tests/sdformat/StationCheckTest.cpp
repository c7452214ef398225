// The station check over whole documents: value texts as written with their
// places, the catalogue's constraints, references by kind and by name, and
// anchors, each finding with its severity, path and object; the sample
// station has none.

#include <sdformat/SDF.h>
#include <sdformat/StationCheck.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace sdf {
namespace {

std::string listing(const std::string& text, bool withText = true)
{
    const auto root = SDF::ReadSdfFromString(text)->Root();
    const auto findings = withText ? StationCheck::Check(*root, text) : StationCheck::Check(*root);
    std::string out;
    for (const auto& f : findings)
        out += std::to_string(f.line) + ":" + std::to_string(f.column) + " " +
               std::string(StationCheck::SeverityName(f.severity)) + " " + f.kind + " #" +
               std::to_string(f.objectId) + " " + (f.paths.empty() ? "" : f.paths.front()) + ": " + f.message + "\n";
    return out;
}

TEST(StationCheck, ValueTextsTheReaderTakesOnlyInPartAreFoundWhereTheyStand)
{
    const std::string text = "<sdf version='1.0'>\n"
                             "  <station id='1'>\n"
                             "    <part id='2'><pose>0 0 0,5236 1 0 0 0</pose></part>\n"
                             "    <part id='thirty'><name>Table</name></part>\n"
                             "    <frame id='4'>\n"
                             "      <anchor>900mm</anchor>\n"
                             "      <pose>1.5 0 0 1 0 0 0</pose>\n"
                             "    </frame>\n"
                             "  </station>\n"
                             "</sdf>\n";
    // The pose's orientation reads as zero as well, as the reader keeps
    // the components after the one it failed on at 0.
    EXPECT_EQ(listing(text),
              "3:18 error not-unit #2 /sdf/station/part[1]/pose: the orientation is no rotation: its quaternion has "
              "length 0\n"
              "3:24 error value-text #2 /sdf/station/part[1]/pose: 'pose' cannot hold '0 0 0,5236 1 0 0 0': '0,5236' "
              "(number 3) is not a number; it reads as '0 0 0 0 0 0 0'\n"
              "4:5 error zero-id #1 /sdf/station/part[2]: object has id 0, which names no object\n"
              "4:15 error value-text #1 /sdf/station/part[2]/@id: 'unsigned int' cannot hold 'thirty': it is not a "
              "whole number; it reads as '0'\n"
              "6:7 error dangling-reference #4 /sdf/station/frame/anchor: id 900 names no object\n"
              "6:15 error value-text #4 /sdf/station/frame/anchor: 'unsigned int' cannot hold '900mm': it is not a "
              "whole number; it reads as '900'\n");
    // Without the text, only what the read document shows.
    EXPECT_EQ(listing(text, false),
              "0:0 error not-unit #2 /sdf/station/part[1]/pose: the orientation is no rotation: its quaternion has "
              "length 0\n"
              "0:0 error zero-id #1 /sdf/station/part[2]: object has id 0, which names no object\n"
              "0:0 error dangling-reference #4 /sdf/station/frame/anchor: id 900 names no object\n");
}

TEST(StationCheck, ValuesTheCatalogueConstrains)
{
    EXPECT_EQ(listing(R"(<sdf version='1.0'>
  <station id='1'>
    <manipulator id='2'>
      <joint id='3'>
        <type>revolut</type>
        <axis><xyz>0 0 0</xyz><limit><lower>-90</lower><upper>90</upper></limit></axis>
        <value>2</value>
      </joint>
      <joint id='4'>
        <type>prismatic</type>
        <axis><xyz>0 0 1</xyz><limit><lower>100</lower><upper>-100</upper></limit></axis>
      </joint>
      <joint id='5'>
        <type>prismatic</type>
        <axis><xyz>1 0 0</xyz><limit><lower>0</lower><upper>500</upper></limit></axis>
        <value>600</value>
      </joint>
      <joint id='6'>
        <axis><xyz>1 0 0</xyz><limit><lower>-90</lower><upper>90</upper></limit></axis>
        <value>1.5707963</value>
      </joint>
      <wrist id='7'/>
    </manipulator>
    <part id='8'><pose>0 0 0 0 0 0 0</pose></part>
    <part id='9'><pose>0 0 0 2 0 0 0</pose></part>
    <part id='10'><pose>0 0 0 0.7071068 0.7071068 0 0</pose></part>
  </station>
</sdf>
)",
                      false),
              "0:0 error unknown-word #3 /sdf/station/manipulator/joint[1]/type: 'revolut' is not a joint type: "
              "revolute, prismatic\n"
              "0:0 error zero-axis #3 /sdf/station/manipulator/joint[1]/axis/xyz: the joint's axis is zero, so it "
              "turns or slides along nothing\n"
              "0:0 error out-of-limits #3 /sdf/station/manipulator/joint[1]/value: the joint's value 2 rad "
              "(114.592°) is outside its limits -90° to 90°\n"
              "0:0 error limits-reversed #4 /sdf/station/manipulator/joint[2]/axis/limit: the lower limit 100 mm is "
              "above the upper limit -100 mm\n"
              "0:0 error out-of-limits #5 /sdf/station/manipulator/joint[3]/value: the joint's value 600 mm is "
              "outside its limits 0 mm to 500 mm\n"
              "0:0 error not-unit #8 /sdf/station/part[1]/pose: the orientation is no rotation: its quaternion has "
              "length 0\n"
              "0:0 warning not-unit #9 /sdf/station/part[2]/pose: the orientation's quaternion has length 2, not 1\n");
}

TEST(StationCheck, ReferencesByKindAndByNameAndAnchors)
{
    EXPECT_EQ(listing(R"(<sdf version='1.0'>
  <station id='1'>
    <part id='2'><name>Table</name></part>
    <frame id='3'><anchor>3</anchor></frame>
    <frame id='4'><anchor>5</anchor></frame>
    <frame id='5'><anchor>4</anchor></frame>
    <frame id='6'><anchor>10</anchor></frame>
    <task id='10'>
      <dataitem id='11'><name>gripA</name><value type='tooldata'>true 0 0 100 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value></dataitem>
      <dataitem id='12'><name>pace1</name><value type='speeddata'>10 500 5000 1000</value></dataitem>
      <path id='13'>
        <instruction id='14'>
          <argument id='15'><name>Gripper</name><value type='string'>gripA</value></argument>
        </instruction>
        <instruction id='16'>
          <argument id='17'><name>Gripper</name><value type='string'>gripB</value></argument>
          <argument id='18'><name>Blend</name><value type='string'>blendX</value></argument>
          <argument id='19'><name>Note</name><value type='string'>two words</value></argument>
        </instruction>
      </path>
      <operation id='20'><path_gen><speed>2</speed><zone>12</zone></path_gen></operation>
    </task>
  </station>
</sdf>
)",
                      false),
              "0:0 error anchor-loop #3 /sdf/station/frame[1]/anchor: object 3 is anchored to itself\n"
              "0:0 error anchor-loop #4 /sdf/station/frame[2]/anchor: anchors go round: 4 -> 5 -> 4\n"
              "0:0 warning anchor-no-place #6 /sdf/station/frame[4]/anchor: anchored to task 10, which has no pose "
              "to move with\n"
              "0:0 error unknown-name #17 /sdf/station/task/path/instruction[2]/argument[1]/value: 'gripB' names no "
              "data item; the 'Gripper' arguments of other instructions name tooldata data\n"
              "0:0 warning unknown-name #18 /sdf/station/task/path/instruction[2]/argument[2]/value: 'blendX' names "
              "no data item of the station\n"
              "0:0 error wrong-kind #20 /sdf/station/task/operation/path_gen/speed: id 2 names a part, not a "
              "speeddata data item\n"
              "0:0 error wrong-kind #20 /sdf/station/task/operation/path_gen/zone: id 12 names a data item of type "
              "'speeddata', not zonedata\n");
}

TEST(StationCheck, TheSampleStationHasNoErrors)
{
    std::ifstream in(ZRV_EXAMPLES_DIR "/stations/sample_cell.sdf");
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    const auto root = SDF::ReadSdfFromString(text.str())->Root();
    EXPECT_FALSE(StationCheck::HasErrors(StationCheck::Check(*root, text.str())));
}

} // namespace
} // namespace sdf
