// sdftool generate end to end on the sample station: in place and to
// another file, ids sound afterwards, regeneration, and the exit statuses
// of what cannot be generated.
#include "SdftoolFixture.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

namespace sdftool::test {
namespace {

TEST_F(Sdftool, GenerateWritesTheOperationsPathAndReplacesItWhenRunAgain)
{
    // The sample with its CAD files: the seam's B-rep edge and the angle's
    // STEP solid.
    const std::filesystem::path examples = std::filesystem::path(ZRV_EXAMPLES_DIR) / "stations";
    const std::string sample = ReadFile(examples / "sample_cell.sdf");
    for (const char* file : {"features/seam_1.brep", "geometry/angle_200.step"}) {
        std::filesystem::create_directories((dir / file).parent_path());
        std::filesystem::copy_file(examples / file, dir / file);
    }
    dir.write("cell.sdf", sample);
    dir.write("taught.sdf", sample);

    // Reach is judged by the task's robot with the operation's tool data;
    // the sample's settings keep every target within the limits, and
    // `reach` agrees of the written path.
    auto r = run({"generate", "cell.sdf", "Weld seam 1"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // 300 mm at 20 mm: 16 targets, with clearance, approach and feed at
    // both ends.
    EXPECT_EQ(r.out, "cell.sdf: operation 'Weld seam 1' (74): path Weld_seam_1 (id 87), 22 targets, 22 moves, "
                     "length 500 mm, process 300 mm\nreach: 0 unreachable, 0 configuration changes\n");
    const std::string reach = run({"reach", "cell.sdf"}).out;
    std::size_t judged = 0;
    for (auto at = reach.find("Weld_seam_1 "); at != std::string::npos; at = reach.find("Weld_seam_1 ", at + 1)) {
        ++judged;
        EXPECT_EQ(reach.compare(reach.find(": ", at) + 2, 10, "reachable\n"), 0) << reach;
    }
    EXPECT_EQ(judged, 22u) << reach;
    r = run({"validate", "--ids", "cell.sdf"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(run({"get", "cell.sdf", "station/operation/pathid"}).out, "87\n");

    // The STEP part's face edge, placed where the station puts the part.
    r = run({"generate", "cell.sdf", "Weld angle corner", "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("\"targets\": 17, \"moves\": 17, \"length\": 400, \"process_length\": 200, "
                         "\"reach\": {\"unreachable\": 0, \"configuration_changes\": 0}"),
              std::string::npos)
        << r.out;

    // Again, by id, to another file: the old path and targets go, the taught
    // path and the other operation's stay.
    r = run({"generate", "cell.sdf", "74", "-o", "again.sdf", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"targets\": 22, \"moves\": 22"), std::string::npos) << r.out;
    const std::string again = read("again.sdf");
    EXPECT_EQ(again.find("<path id='87'>"), std::string::npos);
    EXPECT_NE(again.find("<name>Seam1</name>"), std::string::npos);
    EXPECT_NE(again.find("<name>Weld_angle_corner</name>"), std::string::npos);
    std::size_t targets = 0;
    for (auto at = again.find("type='robtarget'"); at != std::string::npos; at = again.find("type='robtarget'", at + 1))
        ++targets;
    EXPECT_EQ(targets, 5u + 17u + 22u) << "the taught path's five and the two generated paths'";
    EXPECT_EQ(run({"validate", "--ids", "again.sdf"}).status, 0);

    // What cannot be generated is exit 2, and the file stays as it was.
    std::filesystem::remove(dir / "features/seam_1.brep");
    r = run({"generate", "taught.sdf", "Weld seam 1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, fmt::format("sdftool: taught.sdf: mfg 'Seam_1' edge 1 (features/seam_1.brep): {}: no such file\n",
                                 (dir / "features/seam_1.brep").string()));
    EXPECT_EQ(read("taught.sdf"), sample);
    r = run({"generate", "cell.sdf", "Weld seam 9"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "sdftool: cell.sdf: no operation has the id or name 'Weld seam 9'\n");
    EXPECT_EQ(run({"generate", "missing.sdf", "74"}).status, 2);
    EXPECT_EQ(run({"generate", "cell.sdf"}).status, 2);
}

} // namespace
} // namespace sdftool::test
