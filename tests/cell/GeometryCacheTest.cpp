// The geometry cache reads a file once per version of it and per options,
// remembers failures as well as geometry, and reads real files through the
// loader by default.
#include "cell/GeometryCache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using cell::Geometry;
using cell::GeometryCache;
using cell::LoadOptions;

class GeometryCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zrv-cache-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& text) const
    {
        std::ofstream(dir / name) << text;
        return dir / name;
    }

    fs::path dir;
};

constexpr const char* kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";

TEST_F(GeometryCacheTest, ReadsAFileOncePerVersionAndOptions)
{
    GeometryCache cache;
    const fs::path file = write("square.obj", kSquare);
    const auto first = cache.get(file);
    EXPECT_EQ(first->triangleCount(), 2u);
    // The same file by another spelling of its path, and asked for again
    // the way a reopened station asks.
    EXPECT_EQ(cache.get(dir / "." / "square.obj"), first);
    EXPECT_EQ(cache.load(file).get(), first);
    EXPECT_EQ(cache.readCount(), 1u);

    LoadOptions metres;
    metres.fileType = "obj:m";
    EXPECT_NEAR(cache.get(file, metres)->area(), 1e6, 1e-3);
    EXPECT_EQ(cache.readCount(), 2u);

    // Changed on disk (another size): read again.
    write("square.obj", std::string(kSquare) + "v 5 5 5\n");
    EXPECT_NE(cache.get(file), first);
    EXPECT_EQ(cache.readCount(), 3u);

    cache.clear();
    cache.get(file);
    EXPECT_EQ(cache.readCount(), 4u);
}

TEST_F(GeometryCacheTest, RemembersAFailureUntilTheFileChanges)
{
    GeometryCache cache;
    const fs::path file = dir / "late.obj";
    for (int i = 0; i < 2; ++i) {
        try {
            cache.get(file);
            ADD_FAILURE() << "a missing file loaded";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), file.string() + ": no such file");
        }
    }
    EXPECT_THROW(cache.load(file).get(), std::runtime_error);
    EXPECT_EQ(cache.readCount(), 1u);
    write("late.obj", kSquare);
    EXPECT_EQ(cache.load(file).get()->triangleCount(), 2u);
    EXPECT_EQ(cache.readCount(), 2u);
}

} // namespace
