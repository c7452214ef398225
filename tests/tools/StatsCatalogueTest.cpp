// sdftool stats and sdftool catalogue.

#include "SdftoolFixture.h"

#include <algorithm>

namespace sdftool::test {
namespace {

TEST_F(Sdftool, StatsOfANewStation)
{
    dir.write("new.sdf", kNewStation);
    const auto r = run({"stats", "new.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "elements: 5\n"
                     "objects: 1\n"
                     "largest id: 1\n"
                     "by label:\n"
                     "    last_viewpoint_pose 1\n"
                     "    next_dataid 1\n"
                     "    sdf 1\n"
                     "    station 1\n"
                     "    visibility 1\n"
                     "by depth:\n"
                     "    0 1\n"
                     "    1 1\n"
                     "    2 3\n");
}

TEST_F(Sdftool, StatsCountsLabelsDepthsObjectsAndTheLargestId)
{
    dir.write("s.sdf", "<sdf version='1.0'><station id='3'>"
                       "<part id='12'><name>a</name></part>"
                       "<part id='7'><name>b</name><user_file><uri>x</uri></user_file></part>"
                       "<frame id='9'/>"
                       "</station></sdf>");
    const auto r = run({"stats", "s.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    // Read back with supplied children: two part poses, the frame's pose and
    // anchor, the station's last_viewpoint_pose and visibility.
    EXPECT_EQ(r.out, "elements: 15\n"
                     "objects: 4\n"
                     "largest id: 12\n"
                     "by label:\n"
                     "    anchor 1\n"
                     "    frame 1\n"
                     "    last_viewpoint_pose 1\n"
                     "    name 2\n"
                     "    part 2\n"
                     "    pose 3\n"
                     "    sdf 1\n"
                     "    station 1\n"
                     "    uri 1\n"
                     "    user_file 1\n"
                     "    visibility 1\n"
                     "by depth:\n"
                     "    0 1\n"
                     "    1 1\n"
                     "    2 5\n"
                     "    3 7\n"
                     "    4 1\n");
}

TEST_F(Sdftool, StatsFailsOnAnUnreadableDocument)
{
    const auto r = run({"stats", "missing.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "missing.sdf: error: no such file\n");
}

TEST_F(Sdftool, CatalogueListsEveryTemplateAndAttributeOnce)
{
    const auto r = run({"catalogue"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The format has 912 element templates and 45 attribute templates.
    EXPECT_EQ(std::ranges::count(r.out, '\n'), 912 + 45);
    EXPECT_TRUE(r.out.starts_with("sdf (required)\n"
                                  "    @version: string = \"1.0\" (required)\n"
                                  "    station\n"
                                  "        @id: unsigned int = \"0\"\n"
                                  "        name: string = \"\"\n"))
        << r.out.substr(0, 200);
    EXPECT_NE(r.out.find("\n                value: annotated (required)\n"), std::string::npos);
}

TEST_F(Sdftool, CatalogueSubtreeAtAPath)
{
    const std::string frame = "frame\n"
                              "    @id: unsigned int = \"0\"\n"
                              "    name: string = \"\"\n"
                              "    parent: unsigned int = \"0\"\n"
                              "    child: unsigned int = \"0\"\n"
                              "    user_file\n"
                              "        file_name: string = \"\"\n"
                              "        uri: string = \"\" (required)\n"
                              "    pose: pose = \"0 0 0 1 0 0 0\" (required)\n"
                              "    anchor: unsigned int = \"0\" (required)\n";
    for (const std::string path : {"station/frame", "/sdf/station/frame"}) {
        const auto r = run({"catalogue", path});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, frame);
    }
    const auto joint = run({"catalogue", "station/manipulator/joint"});
    EXPECT_EQ(joint.status, 0) << joint.err;
    EXPECT_TRUE(joint.out.starts_with("joint\n    @id: unsigned int = \"0\"\n")) << joint.out;
}

TEST_F(Sdftool, CatalogueOfAnUnknownPathFailsWithTheLibrarysMessage)
{
    auto r = run({"catalogue", "station/manipulator/elbow"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "sdftool: element 'manipulator' does not have 'elbow' child element\n");

    r = run({"catalogue", "/station"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: bad path '/station': an absolute path starts at the root '/sdf'\n");
}

} // namespace
} // namespace sdftool::test
