// sdftool generate end to end on the sample station: in place and to
// another file, ids sound afterwards, regeneration, and the exit statuses
// of what cannot be generated.
#include "SdftoolFixture.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

namespace sdftool::test {
namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(Sdftool, GenerateWritesTheOperationsPathAndReplacesItWhenRunAgain)
{
    const std::string sample = ReadFile(std::filesystem::path(ZRV_EXAMPLES_DIR) / "stations/sample_cell.sdf");
    // The sample's seam as a point list: 300 mm along the feature's -X,
    // which its pose turns onto the table's +X.
    dir.write("seam_1.xyz", "0 0 0\n-300 0 0\n");
    dir.write("cell.sdf", Replaced(Replaced(sample, "features/seam_1.brep", "seam_1.xyz"),
                                   "<file_type>brep</file_type>", "<file_type>xyz</file_type>"));
    dir.write("taught.sdf", sample);

    // Reach is judged by the task's robot with the operation's tool data,
    // and agrees with what `reach` says of the written path: exit 1 when a
    // target is unreachable.
    auto r = run({"generate", "cell.sdf", "Weld seam 1"});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
    // 300 mm at 20 mm: 16 targets, with clearance, approach and feed at
    // both ends.
    EXPECT_NE(r.out.find("cell.sdf: operation 'Weld seam 1' (74): path Weld_seam_1 (id 84), 22 targets, 22 moves"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("process 300 mm"), std::string::npos) << r.out;
    const auto judged = r.out.find("reach: ");
    ASSERT_NE(judged, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not judged"), std::string::npos) << r.out;
    const std::size_t unreachable = std::stoul(r.out.substr(judged + 7));
    EXPECT_EQ(r.status, unreachable > 0 ? 1 : 0);
    const std::string reach = run({"reach", "cell.sdf"}).out;
    std::size_t refused = 0;
    for (auto at = reach.find("Weld_seam_1 "); at != std::string::npos; at = reach.find("Weld_seam_1 ", at + 1))
        refused += reach.compare(reach.find(": ", at) + 2, 9, "reachable") != 0;
    EXPECT_EQ(refused, unreachable) << reach;
    r = run({"validate", "--ids", "cell.sdf"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(run({"get", "cell.sdf", "station/operation/pathid"}).out, "84\n");

    // Again, by id, to another file: the old path and targets go, the taught
    // path stays.
    r = run({"generate", "cell.sdf", "74", "-o", "again.sdf", "--json"});
    ASSERT_EQ(r.status, unreachable > 0 ? 1 : 0) << r.err;
    EXPECT_NE(r.out.find("\"targets\": 22, \"moves\": 22"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(fmt::format("\"reach\": {{\"unreachable\": {},", unreachable)), std::string::npos) << r.out;
    const std::string again = read("again.sdf");
    EXPECT_EQ(again.find("<path id='84'>"), std::string::npos);
    EXPECT_NE(again.find("<name>Seam1</name>"), std::string::npos);
    std::size_t targets = 0;
    for (auto at = again.find("type='robtarget'"); at != std::string::npos; at = again.find("type='robtarget'", at + 1))
        ++targets;
    EXPECT_EQ(targets, 5u + 22u) << "the taught path's five and the new ones";
    EXPECT_EQ(run({"validate", "--ids", "again.sdf"}).status, 0);

    // What cannot be generated is exit 2, and the file stays as it was.
    r = run({"generate", "taught.sdf", "Weld seam 1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "sdftool: taught.sdf: mfg 'Seam_1' edge 1 (features/seam_1.brep): needs the part's geometry\n");
    EXPECT_EQ(read("taught.sdf"), sample);
    r = run({"generate", "cell.sdf", "Weld seam 9"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "sdftool: cell.sdf: no operation has the id or name 'Weld seam 9'\n");
    EXPECT_EQ(run({"generate", "missing.sdf", "74"}).status, 2);
    EXPECT_EQ(run({"generate", "cell.sdf"}).status, 2);
}

} // namespace
} // namespace sdftool::test
