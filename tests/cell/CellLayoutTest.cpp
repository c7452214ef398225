// Where the Core plug-in's 3D view puts things: poses composed through
// anchors, parents and attachments, the joints of a mechanism, program
// targets in their work objects, and picking.
#include "cell/CellLayout.h"

#include <SampleCell.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace {

using cell::CellLayout;
using cell::Vec3d;

std::shared_ptr<sdf::SDF> Read(const std::string& body)
{
    return sdf::SDF::ReadSdfFromString("<sdf version='1.0'><station id='1'><name>Cell</name>" + body +
                                       "</station></sdf>");
}

Vec3d At(const CellLayout& cell, std::uint32_t id)
{
    const auto* world = cell.worldOf(id);
    EXPECT_NE(world, nullptr) << "object " << id << " has no place";
    return world ? world->t : Vec3d{NAN, NAN, NAN};
}

void ExpectNear(const Vec3d& actual, const Vec3d& expected, const char* what)
{
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(actual[c], expected[c], 1e-6) << what << " coordinate " << c;
}

// A three-link arm: a base, an upper arm 100 above it, a forearm 200 up the
// upper arm whose joint (at the elbow, the forearm's origin) turns about y;
// a wrist 50 up the forearm, a tool attached to the wrist 10 along the
// wrist's z.
std::string Arm(const std::string& elbow)
{
    return "<manipulator id='2'><pose>1000 0 0 1 0 0 0</pose>"
           "<link id='3'><pose>0 0 0 1 0 0 0</pose></link>"
           "<link id='4'><pose>0 0 100 1 0 0 0</pose></link>"
           "<link id='5'><pose>0 0 200 1 0 0 0</pose></link>"
           "<joint id='6'><type>revolute</type><axis><xyz>0 0 1</xyz></axis><value>0</value></joint>"
           "<joint id='7'><type>revolute</type><axis><xyz>0 1 0</xyz></axis><value>" + elbow +
           "</value></joint>"
           "<wrist id='8'><parent>5</parent><pose>0 0 50 1 0 0 0</pose></wrist></manipulator>"
           "<tool id='9'><pose>-5000 0 0 1 0 0 0</pose><link id='10'><pose>0 0 0 1 0 0 0</pose></link></tool>"
           "<attachment id='11'><source_id>9</source_id><target_id>8</target_id><pose>0 0 10 1 0 0 0</pose></attachment>";
}

TEST(CellLayout, JointsMoveTheLinksAfterThemAndWhatIsAttachedButNotThoseBefore)
{
    const auto still = Read(Arm("0"));
    const CellLayout zero(still->Root(), {});
    ExpectNear(At(zero, 3), {1000, 0, 0}, "base");
    ExpectNear(At(zero, 4), {1000, 0, 100}, "upper arm");
    ExpectNear(At(zero, 5), {1000, 0, 300}, "forearm");
    ExpectNear(At(zero, 8), {1000, 0, 350}, "wrist");
    ExpectNear(At(zero, 9), {1000, 0, 360}, "tool on the wrist, not at its own pose");
    ExpectNear(At(zero, 10), {1000, 0, 360}, "the tool's link");

    // A quarter turn of the elbow about y lays the forearm along +x.
    const auto turned = Read(Arm("1.5707963267948966"));
    const CellLayout cell(turned->Root(), {});
    ExpectNear(At(cell, 3), {1000, 0, 0}, "base");
    ExpectNear(At(cell, 4), {1000, 0, 100}, "upper arm");
    ExpectNear(At(cell, 5), {1000, 0, 300}, "forearm turns about its origin");
    ExpectNear(At(cell, 8), {1050, 0, 300}, "wrist");
    ExpectNear(At(cell, 9), {1060, 0, 300}, "tool");

    // Moving the joint in the document and rebuilding moves the same way.
    CellLayout edited(still->Root(), {});
    for (const auto& joint : still->Root()->get("station/manipulator")->children("joint")) {
        if (joint->getId() == 7)
            joint->set<double>("value", std::numbers::pi / 2);
    }
    edited.rebuild();
    ExpectNear(At(edited, 9), {1060, 0, 300}, "tool after the edit");
}

// Playback shows joint values the document does not hold: the links and
// what is attached follow them, the document keeps its own, and taking the
// override away (or one of the wrong length) shows the document's again.
TEST(CellLayout, JointOverrideMovesTheArmButNotTheDocument)
{
    const auto still = Read(Arm("0"));
    CellLayout cell(still->Root(), {});
    cell.setJointOverride(2, {0, std::numbers::pi / 2});
    cell.rebuild();
    ExpectNear(At(cell, 8), {1050, 0, 300}, "wrist shown turned");
    ExpectNear(At(cell, 9), {1060, 0, 300}, "tool shown turned");
    for (const auto& joint : still->Root()->get("station/manipulator")->children("joint"))
        EXPECT_EQ(joint->asDouble("value"), 0.0) << "joint " << joint->getId();

    cell.setJointOverride(2, {0});
    cell.rebuild();
    ExpectNear(At(cell, 9), {1000, 0, 360}, "an override of the wrong length is not shown");
    cell.setJointOverride(2, {0, std::numbers::pi / 2});
    cell.setJointOverride(2, {});
    cell.rebuild();
    ExpectNear(At(cell, 9), {1000, 0, 360}, "override taken away");
}

TEST(CellLayout, JointAxesAreInTheBaseFrameAndJointPosesInTheChildLink)
{
    // The second link is turned a quarter about z; its joint's axis is
    // still read in the base frame (x), and the joint sits 100 along the
    // child link's own x (which is the base's y).
    const auto doc = Read("<device id='2'><pose>0 0 0 1 0 0 0</pose>"
                          "<link id='3'><pose>0 0 0 1 0 0 0</pose></link>"
                          "<link id='4'><pose>0 0 0 0.7071067811865476 0 0 0.7071067811865476</pose></link>"
                          "<link id='5'><pose>0 0 100 1 0 0 0</pose></link>"
                          "<joint id='6'><type>revolute</type><axis><xyz>1 0 0</xyz></axis>"
                          "<pose>100 0 0 1 0 0 0</pose><value>1.5707963267948966</value></joint>"
                          "<joint id='7'><type>prismatic</type><axis><xyz>0 0 1</xyz></axis><value>25</value></joint>"
                          "</device>");
    const CellLayout cell(doc->Root(), {});
    ExpectNear(At(cell, 6), {0, 100, 0}, "joint frame");
    // Link 4 turns about the base x axis through (0, 100, 0): its origin
    // swings from (0, 0, 0) to (0, 100, -100).
    ExpectNear(At(cell, 4), {0, 100, -100}, "turned link");
    // Link 5 is 100 up link 4's z, which the turn about x laid along -y;
    // it slides 25 along its joint's axis (the base z with every joint at
    // zero), which the same turn laid along -y too.
    ExpectNear(At(cell, 5), {0, -25, -100}, "slid link");
}

TEST(CellLayout, FramesFollowTheirAnchorsAndLoopsEndInTheWorld)
{
    const auto doc = Read("<assembly id='2'><pose>0 0 500 0 0 0 1</pose></assembly>"
                          "<part id='3'><parent>2</parent><pose>100 0 0 1 0 0 0</pose></part>"
                          "<frame id='4'><anchor>3</anchor><pose>0 10 0 1 0 0 0</pose></frame>"
                          "<frame id='5'><anchor>6</anchor><pose>1 0 0 1 0 0 0</pose></frame>"
                          "<frame id='6'><anchor>5</anchor><pose>0 1 0 1 0 0 0</pose></frame>"
                          "<frame id='7'><anchor>99</anchor><pose>7 7 7 0 0 0 0</pose></frame>");
    const CellLayout cell(doc->Root(), {});
    // Half a turn about z of the assembly turns the part's offset around.
    ExpectNear(At(cell, 3), {-100, 0, 500}, "part in its assembly");
    ExpectNear(At(cell, 4), {-100, -10, 500}, "frame on the part");
    // The loop is cut at whichever of the two is met again: that one stands
    // in the world, the other on it.
    const Vec3d five = At(cell, 5);
    const Vec3d six = At(cell, 6);
    if (five == Vec3d{1, 0, 0}) {
        ExpectNear(six, {1, 1, 0}, "frame on the cut frame");
    } else {
        ExpectNear(five, {1, 1, 0}, "frame on the cut frame");
        ExpectNear(six, {0, 1, 0}, "cut frame");
    }
    // An unknown anchor is the world; a zero quaternion turns nothing.
    ExpectNear(At(cell, 7), {7, 7, 7}, "frame on nothing");
    EXPECT_DOUBLE_EQ(cell.worldOf(7)->q[0], 1);
}

// A million assemblies each in the one before, listed deepest first: the
// layout walks the chain without a call per level. Only the outermost and
// the innermost are moved, so the innermost shows whether the whole chain
// was composed.
TEST(CellLayout, AMillionNestedAssembliesAreLaidOut)
{
    constexpr std::uint32_t kLevels = 1'000'000;
    constexpr std::uint32_t kInnermost = kLevels + 1;
    std::string body;
    body.reserve(std::size_t{kLevels} * 56);
    for (std::uint32_t id = kInnermost; id >= 2; --id) {
        body += "<assembly id='" + std::to_string(id) + "'><parent>" + std::to_string(id - 1) + "</parent>";
        if (id == 2)
            body += "<pose>1000 0 0 1 0 0 0</pose>";
        else if (id == kInnermost)
            body += "<pose>0 1 0 1 0 0 0</pose>";
        body += "</assembly>";
    }
    const auto doc = Read(body);
    ASSERT_TRUE(doc);
    const CellLayout cell(doc->Root(), {});
    EXPECT_EQ(cell.items().size(), kLevels);
    ExpectNear(At(cell, 500'001), {1000, 0, 0}, "halfway down");
    ExpectNear(At(cell, kInnermost), {1000, 1, 0}, "innermost assembly");
}

TEST(CellLayout, TargetsLieInTheirWorkObjectsAndPathsRunThroughThem)
{
    // The work object is found by what an argument holds, whatever the
    // argument is called: a name of a wobjdata item, or a wobjdata value.
    const auto doc = Read(
        "<controller id='2'><task_frame>0 0 100 1 0 0 0</task_frame></controller>"
        "<task id='3'><controller_id>2</controller_id>"
        "<dataitem id='4'><name>tableTop</name>"
        "<value type='wobjdata'>false true \"\" 900 0 760 1 0 0 0 10 0 0 1 0 0 0</value></dataitem>"
        "<dataitem id='5'><name>home</name>"
        "<value type='robtarget'>1 2 3 1 0 0 0 0 0 0 1 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09</value></dataitem>"
        "<dataitem id='14'><name>speedSlow</name><value type='speeddata'>100 500 5000 1000</value></dataitem>"
        "<path id='6'><name>P</name>"
        "<instruction id='7'><argument id='8'><name>target</name>"
        "<value type='robtarget'>-150 -150 10 0 0 1 0 0 0 0 1 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09</value></argument>"
        "<argument id='15'><name>speed</name><value type='string'>speedSlow</value></argument>"
        "<argument id='9'><name>in</name><value type='string'>tableTop</value></argument></instruction>"
        "<instruction id='10'><argument id='11'><name>to</name><value type='string'>home</value></argument>"
        "<argument id='16'><name>frame</name><value type='string'>noSuchItem</value></argument>"
        "</instruction>"
        "<instruction id='12'><argument id='13'><name>speed</name><value type='string'>speedSlow</value></argument>"
        "</instruction>"
        "<instruction id='17'><argument id='18'><name>where</name>"
        "<value type='wobjdata'>false true \"\" 0 500 0 1 0 0 0 0 0 0 1 0 0 0</value></argument>"
        "<argument id='19'><name>p</name><value type='string'>home</value></argument></instruction>"
        "</path></task>"
        "<visibility><objectid>10</objectid></visibility>");
    const CellLayout cell(doc->Root(), {});
    ExpectNear(At(cell, 4), {910, 0, 860}, "work object: task frame, user frame, object frame");
    ASSERT_EQ(cell.paths().size(), 1u);
    const auto& points = cell.paths().front().points;
    ASSERT_EQ(points.size(), 3u) << "the instruction without a target adds no point";
    ExpectNear(points[0], {760, -150, 870}, "target in the work object an argument names");
    ExpectNear(points[1], {1, 2, 103}, "named target in the task frame");
    ExpectNear(points[2], {1, 502, 103}, "named target in the work object an argument holds");

    // Picking a target selects its instruction; hidden ones are not hit.
    EXPECT_EQ(cell.pick({760, -150, 2000}, {0, 0, -1}), 7u);
    EXPECT_EQ(cell.pick({1, 2, 2000}, {0, 0, -1}), 0u);
}

TEST(CellLayout, AWorkObjectAndAFrameAnchoredToAPartMoveWithItWhenItIsAttached)
{
    // The part stands at x = 100; its work object is written 50 mm further
    // along x, a frame 5 mm along its y. Attached to the gripper (at z = 500)
    // 50 mm below it and turned a quarter about z, the part moves, and its
    // work object, the work object's targets and the frame move along.
    const std::string part = "<part id='20'><pose>100 0 0 1 0 0 0</pose></part>"
                             "<frame id='22'><anchor>20</anchor><pose>0 5 0 1 0 0 0</pose></frame>"
                             "<task id='3'>"
                             "<dataitem id='4'><name>onPart</name><anchor>20</anchor>"
                             "<value type='wobjdata'>false true \"\" 150 0 0 1 0 0 0 0 0 0 1 0 0 0</value></dataitem>"
                             "<dataitem id='5'><name>loose</name>"
                             "<value type='wobjdata'>false true \"\" 150 0 0 1 0 0 0 0 0 0 1 0 0 0</value></dataitem>"
                             "<path id='6'><instruction id='7'><argument id='8'><value type='robtarget'>10 0 0 1 0 0 "
                             "0 0 0 0 1 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09</value></argument>"
                             "<argument id='9'><value type='string'>onPart</value></argument></instruction></path>"
                             "</task>";
    const auto still = Read(part);
    const CellLayout standing(still->Root(), {});
    ExpectNear(At(standing, 4), {150, 0, 0}, "where it is written while the part stands by its pose");
    ExpectNear(standing.paths().front().points.front(), {160, 0, 0}, "its target");

    const double h = std::sqrt(0.5);
    const auto moved = Read(part + "<tool id='21'><pose>0 0 500 1 0 0 0</pose></tool>"
                                   "<attachment id='23'><source_id>20</source_id><target_id>21</target_id>"
                                   "<pose>0 0 -50 " + std::to_string(h) + " 0 0 " + std::to_string(h) +
                            "</pose></attachment>");
    const CellLayout carried(moved->Root(), {});
    ExpectNear(At(carried, 20), {0, 0, 450}, "the part on the gripper");
    ExpectNear(At(carried, 4), {0, 50, 450}, "the anchored work object 50 mm along the part's turned x");
    ExpectNear(carried.paths().front().points.front(), {0, 60, 450}, "its target");
    ExpectNear(At(carried, 22), {-5, 0, 450}, "the anchored frame");
    ExpectNear(At(carried, 5), {150, 0, 0}, "a work object without an anchor stays");
}

TEST(CellLayout, SampleWeldTargetsLieOnTheBracketSeam)
{
    // The taught path of the sample station: travel, approach 30 mm above
    // the seam, weld along its 300 mm, retract.
    const auto root = sdf::testing::BuildSampleCell();
    const CellLayout cell(root, {});
    const auto seam = root->get("station")->get("mfg");
    ASSERT_TRUE(seam);
    const Vec3d start = At(cell, seam->getId());
    ASSERT_EQ(cell.paths().size(), 1u);
    const auto& points = cell.paths().front().points;
    ASSERT_EQ(points.size(), 5u);
    ExpectNear(points[1], {start[0], start[1], start[2] + 30}, "approach");
    ExpectNear(points[2], start, "weld start");
    ExpectNear(points[3], {start[0] + 300, start[1], start[2]}, "weld end");
    ExpectNear(start, {750, -150, 770}, "seam on the bracket on the table");
}

TEST(CellLayout, PickingHitsTheNearestShapeAlongTheRay)
{
    const auto doc = Read("<part id='2'><pose>0 0 0 1 0 0 0</pose></part>"
                          "<part id='3'><pose>0 0 500 1 0 0 0</pose></part>"
                          "<smart_component id='4'><pose>1000 0 0 1 0 0 0</pose></smart_component>");
    const CellLayout cell(doc->Root(), {});
    EXPECT_EQ(cell.pick({0, 0, 5000}, {0, 0, -1}), 3u);
    EXPECT_EQ(cell.pick({0, 0, -5000}, {0, 0, 1}), 2u);
    EXPECT_EQ(cell.pick({1000, -5000, 0}, {0, 1, 0}), 4u);
    EXPECT_EQ(cell.pick({500, 0, 5000}, {0, 0, -1}), 0u);
    EXPECT_EQ(cell.pick({0, 0, 5000}, {0, 0, 0}), 0u);
    const auto [lo, hi] = cell.worldBounds();
    ExpectNear(lo, {-100, -100, -100}, "scene minimum");
    ExpectNear(hi, {1040, 100, 600}, "scene maximum");
}

} // namespace

// Every format the geometry cache reads is drawn as geometry (B-rep files
// too, with the body's file type); a missing file leaves a block and says
// so, unless another file of the object can be drawn; a part drawn from
// its first body draws every body that has a file, and says on the body
// which file is missing; the view's own pick of loaded meshes leaves them
// out of the box pick, and what the view hides is not picked, also after
// the layout is rebuilt.
TEST(CellLayout, GeometryFilesOfEveryFormatAndMissingOnesAreTold)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "zrv-layout-geometry";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "part.stp") << "ISO-10303-21;";
    std::ofstream(dir / "second.stl") << "solid s\nendsolid s\n";
    const auto doc = Read("<part id='2'><name>Cad</name><body id='3'><geometry><uri>part.stp</uri>"
                          "<file_type>step</file_type></geometry></body>"
                          "<body id='7'><geometry><uri>second.stl</uri><file_type>stl</file_type></geometry></body>"
                          "<body id='8'><geometry><uri>lost.stl</uri></geometry></body></part>"
                          "<part id='4'><name>Gone</name><pose>500 0 0 1 0 0 0</pose><uri>gone.igs</uri></part>"
                          "<part id='5'><name>Second</name><pose>0 500 0 1 0 0 0</pose><uri>gone.stl</uri>"
                          "<body id='6'><geometry><uri>part.stp</uri></geometry></body></part>");
    CellLayout cell(doc->Root(), dir);
    const CellLayout::Item* cad = cell.find(2);
    ASSERT_NE(cad, nullptr);
    EXPECT_EQ(cad->shape, CellLayout::Shape::Mesh);
    EXPECT_EQ(cad->mesh, dir / "part.stp");
    EXPECT_EQ(cad->meshType, "step");
    ASSERT_EQ(cad->bodies.size(), 2u);
    EXPECT_EQ(cad->bodies[0].id, 3u);
    EXPECT_EQ(cad->bodies[0].file, dir / "part.stp");
    EXPECT_EQ(cad->bodies[1].id, 7u);
    EXPECT_EQ(cad->bodies[1].file, dir / "second.stl");
    EXPECT_EQ(cad->bodies[1].type, "stl");
    EXPECT_EQ(cell.find(4)->shape, CellLayout::Shape::Box);
    EXPECT_EQ(cell.find(5)->shape, CellLayout::Shape::Mesh);
    // Part 5 is drawn from its body, not from its own (missing) file.
    EXPECT_EQ(cell.find(5)->bodies.size(), 1u);
    ASSERT_EQ(cell.meshProblems().size(), 2u);
    EXPECT_EQ(cell.meshProblems()[0].object, 8u);
    EXPECT_EQ(cell.meshProblems()[0].message, "geometry not loaded: " + (dir / "lost.stl").string() + " does not exist");
    EXPECT_EQ(cell.meshProblems()[1].object, 4u);
    EXPECT_EQ(cell.meshProblems()[1].message, "geometry not loaded: " + (dir / "gone.igs").string() + " does not exist");

    // Straight down onto the mesh part at the origin: the box pick finds it
    // only while meshes count.
    double distance = 0;
    EXPECT_EQ(cell.pick({0, 0, 5000}, {0, 0, -1}), 2u);
    EXPECT_EQ(cell.pick({0, 0, 5000}, {0, 0, -1}, false, &distance), 0u);
    EXPECT_TRUE(std::isinf(distance));
    EXPECT_EQ(cell.pick({500, 0, 5000}, {0, 0, -1}, false, &distance), 4u);
    EXPECT_GT(distance, 4000);
    EXPECT_LT(distance, 5000);
    cell.setViewHidden({4});
    cell.rebuild();
    EXPECT_TRUE(cell.hides(4) && cell.find(4)->hidden);
    EXPECT_EQ(cell.pick({500, 0, 5000}, {0, 0, -1}), 0u);
    cell.setViewHidden({});
    EXPECT_EQ(cell.pick({500, 0, 5000}, {0, 0, -1}), 4u);
    std::filesystem::remove_all(dir);
}
