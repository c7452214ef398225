// sdftool geometry: a station's bodies with what their files hold or why
// they cannot be loaded, and one mesh file on its own.

#include "SdftoolFixture.h"

namespace sdftool::test {
namespace {

constexpr const char* kSquare = "o plate\nv 0 0 0\nv 20 0 0\nv 20 10 0\nv 0 10 0\nf 1 2 3 4\n";

TEST_F(Sdftool, GeometryListsEveryBodyOfAStationAndWhyOneFails)
{
    dir.write("square.obj", kSquare);
    dir.write("s.sdf", "<sdf version='1.0'><station id='1'>"
                       "<part id='2'><name>Plate</name>"
                       "<body id='3'><name>Top</name><geometry><file_type>obj</file_type><uri>square.obj</uri></geometry></body>"
                       "<body id='4'><name>Gone</name><geometry><uri>missing.step</uri></geometry></body>"
                       "</part>"
                       "<pointcloud id='5'><name>Scan</name><geometry><file_type>obj:m</file_type>"
                       "<uri>square.obj</uri></geometry></pointcloud>"
                       "</station></sdf>");
    const auto r = run({"geometry", "s.sdf"});
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string here = std::filesystem::canonical(dir.path()).string() + "/";
    EXPECT_EQ(r.out, "body 3 \"Top\" of part 2: " + here +
                         "square.obj (obj) faces 1, edges 0, triangles 2, box [0 0 0] [20 10 0]\n"
                         "body 4 \"Gone\" of part 2: " + here + "missing.step (step) error: " + here +
                         "missing.step: no such file\n"
                         "pointcloud 5 \"Scan\": " + here +
                         "square.obj (obj) faces 1, edges 0, triangles 2, box [0 0 0] [20000 10000 0]\n");

    const auto json = run({"geometry", "s.sdf", "--json"});
    EXPECT_EQ(json.status, 1);
    EXPECT_NE(json.out.find("{\"id\": 4, \"label\": \"body\", \"name\": \"Gone\", \"owner\": 2, \"ownerLabel\": "
                            "\"part\", \"uri\": \"missing.step\", \"file\": \"" + here +
                            "missing.step\", \"error\": \"" + here + "missing.step: no such file\"}"),
              std::string::npos)
        << json.out;
}

TEST_F(Sdftool, GeometryOfOneMeshFileGivesItsFacesAndUnit)
{
    dir.write("square.obj", kSquare);
    const auto r = run({"geometry", "square.obj", "--mesh-unit", "cm", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"file\": \"square.obj\", \"name\": \"square.obj\", \"format\": \"obj\", \"faces\": 1, \"edges\": 0, "
                     "\"triangles\": 2, \"boundingBox\": {\"min\": [0, 0, 0], \"max\": [200, 100, 0]}, "
                     "\"volume\": 0, \"faceList\": [{\"area\": 20000, \"edges\": []}], \"edgeList\": []}\n");

    dir.write("empty.stl", "");
    const auto bad = run({"geometry", "empty.stl"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "sdftool: empty.stl: empty file\n");
    EXPECT_EQ(run({"geometry", "square.obj", "--mesh-unit", "yard"}).status, 2);
}

} // namespace
} // namespace sdftool::test
