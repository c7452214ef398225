// The sample station under examples/ reads back and writes to the same
// bytes, and stays what its builder makes.

#include <SampleCell.h>
#include <SampleMeshes.h>
#include <TreeListing.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const std::filesystem::path kSample = std::filesystem::path(ZRV_EXAMPLES_DIR) / "stations" / "sample_cell.sdf";

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SampleStation, ReadsBackAndWritesTheSameBytes)
{
    const std::string text = FileText(kSample);
    ASSERT_FALSE(text.empty()) << kSample;
    const auto document = sdf::SDF::ReadSdfFromFile(kSample);
    EXPECT_TRUE(document->Root()->toXMLString("") == text);
}

TEST(SampleStation, FileIsWhatItsBuilderMakes)
{
    // After a change of format, write it again with
    //   build/<dir>/tests/support/write_sample_station examples/stations/sample_cell.sdf
    const auto built = sdf::testing::BuildSampleCell();
    EXPECT_TRUE(built->toXMLString("") == FileText(kSample));
    const auto read = sdf::SDF::ReadSdfFromFile(kSample);
    EXPECT_EQ(sdf::testing::FirstDifference(sdf::testing::ListTree(*built), sdf::testing::ListTree(*read->Root())),
              std::string::npos);
}

TEST(SampleStation, MeshesAreWhatTheBuilderMakes)
{
    // Written by write_sample_station too, beside the station.
    const auto meshes = sdf::testing::SampleMeshes();
    ASSERT_FALSE(meshes.empty());
    for (const auto& [name, text] : meshes)
        EXPECT_TRUE(FileText(kSample.parent_path() / name) == text) << name;
    // Every shape the station names is one of them.
    const auto station = sdf::SDF::ReadSdfFromFile(kSample)->Root()->get("station");
    std::size_t named = 0;
    for (const auto& link : station->get("manipulator")->children("link")) {
        EXPECT_EQ(meshes.count(link->asString("user_file/uri")), 1u) << link->asString("name");
        ++named;
    }
    for (const auto& part : station->children("part")) {
        // CAD parts are made with OpenCASCADE; the cell tests check them.
        if (part->asString("body/geometry/file_type") == "step")
            continue;
        EXPECT_EQ(meshes.count(part->asString("body/geometry/uri")), 1u) << part->asString("name");
        ++named;
    }
    EXPECT_EQ(meshes.count(station->asString("tool/link/user_file/uri")), 1u);
    EXPECT_EQ(named + 1, meshes.size());
}

TEST(SampleStation, HoldsACompleteWeldingCell)
{
    auto station = sdf::SDF::ReadSdfFromFile(kSample)->Root()->get("station");
    ASSERT_TRUE(station);
    EXPECT_EQ(std::ranges::distance(station->get("manipulator")->children("joint")), 6);
    EXPECT_TRUE(station->exists("manipulator/wrist"));
    EXPECT_TRUE(station->exists("tool/tooldata/value"));
    EXPECT_EQ(std::ranges::distance(station->children("part")), 3);
    EXPECT_TRUE(station->exists("controller/mechanical_unit"));
    EXPECT_EQ(std::ranges::distance(station->get("task")->get("path")->children("instruction")), 5);
    EXPECT_TRUE(station->exists("operation/process_edgeoperation/edge/bodyface"));
    EXPECT_TRUE(station->exists("smart_component/signal/value"));
    EXPECT_TRUE(station->exists("simulation/state/mechanism"));
    EXPECT_EQ(station->asString("part/name"), "Table");
}

} // namespace
