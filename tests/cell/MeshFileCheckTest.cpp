// Geometry files a station names are checked before any loader sees them:
// pipes, files named by the mesh, nesting and node counts that would hang
// or crash the loader.
#include "cell/CellLayout.h"
#include "cell/MeshFileCheck.h"

#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using cell::MeshFileCheck;

class MeshFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "meshcheck-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        ASSERT_EQ(::mkfifo((dir / "pipe.bin").c_str(), 0600), 0);
        write("data.bin", "0123");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
        return dir / name;
    }

    // The problem found, or "" for none.
    std::string problem(const std::filesystem::path& path)
    {
        return MeshFileCheck::Problem(path).value_or("");
    }

    std::filesystem::path dir;
};

std::string Gltf(const std::string& members)
{
    return R"({"asset":{"version":"2.0"},)" + members + "}";
}

TEST_F(MeshFiles, RegularFilesWithinTheLimitsPass)
{
    write("a b.bin", "0123");
    EXPECT_EQ(problem(write("fine.gltf", Gltf(R"("nodes":[{"name":"[{"},{"children":[0]}],)"
                                                R"("buffers":[{"uri":"a%20b.bin","byteLength":4},{"uri":"data.bin"}],)"
                                                R"("images":[{"uri":"data:image/png;base64,AAAA"}])"))),
              "");
    EXPECT_EQ(problem(write("plain.obj", "mtllib data.bin\nv 0 0 0\n")), "");
    EXPECT_EQ(problem(write("plain.stl", "solid x\nendsolid x\n")), "");
}

TEST_F(MeshFiles, PipesAndWhatLoadersWouldChokeOnAreRefusedWithTheReason)
{
    const auto pipe = (dir / "pipe.bin").string();
    EXPECT_EQ(problem(dir / "pipe.bin"), pipe + " is not a regular file");
    const auto viaBuffer = write("buffer.gltf", Gltf(R"("buffers":[{"uri":"data.bin"},{"uri":"pipe.bin"}])"));
    EXPECT_EQ(problem(viaBuffer), viaBuffer.string() + " names " + pipe + " is not a regular file");
    const auto viaImage = write("image.gltf", Gltf(R"("images":[{"uri":"pipe.bin"}])"));
    EXPECT_NE(problem(viaImage).find("names " + pipe), std::string::npos);
    const auto viaMaterial = write("material.obj", "v 0 0 0\n  mtllib pipe.bin  \n");
    EXPECT_EQ(problem(viaMaterial), viaMaterial.string() + " names " + pipe + " is not a regular file");
    // A "uri" elsewhere names nothing to load.
    EXPECT_EQ(problem(write("elsewhere.gltf", Gltf(R"("extras":{"uri":"pipe.bin"})"))), "");

    const auto deep = write("deep.gltf", std::string(200000, '['));
    EXPECT_EQ(problem(deep), deep.string() + ": its JSON is nested deeper than 64 levels");
    EXPECT_EQ(problem(write("limit.gltf", std::string(64, '[') + std::string(64, ']'))), "");

    std::string nodes;
    for (std::size_t i = 0; i <= MeshFileCheck::MaxNodes; ++i)
        nodes += std::string(i ? "," : "") + R"({"children":[1,2],"name":"n"})";
    const auto many = write("many.gltf", Gltf(R"("nodes":[)" + nodes + "]"));
    EXPECT_EQ(problem(many), many.string() + " has 5001 nodes, more than 5000");

    // The JSON inside a binary glTF is held to the same limits.
    const std::string json = std::string(100, '[') + std::string(100, ']');
    std::string glb = "glTF";
    const auto word = [&glb](std::uint32_t v) {
        for (int b = 0; b < 4; ++b)
            glb += static_cast<char>((v >> (8 * b)) & 0xff);
    };
    word(2);
    word(static_cast<std::uint32_t>(20 + json.size()));
    word(static_cast<std::uint32_t>(json.size()));
    glb += "JSON" + json;
    const auto binary = write("deep.glb", glb);
    EXPECT_EQ(problem(binary), binary.string() + ": its JSON is nested deeper than 64 levels");
}

TEST_F(MeshFiles, TheLayoutDrawsARefusedMeshAsABoxAndSaysWhy)
{
    write("buffer.gltf", Gltf(R"("buffers":[{"uri":"pipe.bin"}])"));
    write("good.gltf", Gltf(R"("buffers":[{"uri":"data.bin"}])"));
    const auto doc = sdf::SDF::ReadSdfFromString(
        "<sdf version='1.0'><station id='1'><name>Cell</name>"
        "<part id='2'><uri>buffer.gltf</uri></part><part id='3'><uri>good.gltf</uri></part></station></sdf>");
    const cell::CellLayout cell(doc->Root(), dir);
    ASSERT_NE(cell.find(2), nullptr);
    EXPECT_EQ(cell.find(2)->shape, cell::CellLayout::Shape::Box);
    EXPECT_EQ(cell.find(3)->shape, cell::CellLayout::Shape::Mesh);
    ASSERT_EQ(cell.meshProblems().size(), 1u);
    EXPECT_EQ(cell.meshProblems()[0].object, 2u);
    EXPECT_NE(cell.meshProblems()[0].message.find("pipe.bin is not a regular file"), std::string::npos)
        << cell.meshProblems()[0].message;
}

} // namespace
