// B-rep files read by the separate reader program: the same geometry as
// reading them in this process, a crash of the reader as an error naming
// the signal (this process lives on), the time limit, a missing or
// misbehaving program, and answers that are not what the reader writes.
#include "cell/BrepReader.h"
#include "cell/CadReaderProcess.h"
#include "cell/GeometryLoader.h"
#include "cell/GeometryWire.h"

#include "SampleCad.h"

#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepTools.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <gp_Ax2.hxx>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using cell::Geometry;
using cell::GeometryFormat;

const fs::path kCrashingFile = fs::path(ZRV_CELL_TEST_DATA_DIR) / "revolution_without_curve.brep";

std::string MessageOf(const std::function<void()>& run)
{
    try {
        run();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(no error)";
}

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

void ExpectSame(const Geometry& a, const Geometry& b)
{
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.positions, b.positions);
    EXPECT_EQ(a.normals, b.normals);
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.points, b.points);
    ASSERT_EQ(a.faces.size(), b.faces.size());
    for (std::size_t i = 0; i < a.faces.size(); ++i) {
        SCOPED_TRACE("face " + std::to_string(i));
        const auto &fa = a.faces[i], &fb = b.faces[i];
        EXPECT_EQ(fa.firstIndex, fb.firstIndex);
        EXPECT_EQ(fa.indexCount, fb.indexCount);
        EXPECT_EQ(fa.area, fb.area);
        EXPECT_EQ(fa.edges, fb.edges);
        ASSERT_EQ(fa.tracks.size(), fb.tracks.size());
        for (std::size_t t = 0; t < fa.tracks.size(); ++t) {
            EXPECT_EQ(fa.tracks[t].points, fb.tracks[t].points);
            EXPECT_EQ(fa.tracks[t].normals, fb.tracks[t].normals);
            EXPECT_EQ(fa.tracks[t].tangents, fb.tracks[t].tangents);
        }
        EXPECT_EQ(fa.part, fb.part);
        EXPECT_EQ(fa.hasColour, fb.hasColour);
        EXPECT_EQ(fa.colour, fb.colour);
    }
    ASSERT_EQ(a.edges.size(), b.edges.size());
    for (std::size_t i = 0; i < a.edges.size(); ++i) {
        EXPECT_EQ(a.edges[i].points, b.edges[i].points) << "edge " << i;
        EXPECT_EQ(a.edges[i].length, b.edges[i].length) << "edge " << i;
        EXPECT_EQ(a.edges[i].degenerate, b.edges[i].degenerate) << "edge " << i;
    }
    ASSERT_EQ(a.parts.size(), b.parts.size());
    for (std::size_t i = 0; i < a.parts.size(); ++i) {
        EXPECT_EQ(a.parts[i].name, b.parts[i].name);
        EXPECT_EQ(a.parts[i].volume, b.parts[i].volume);
    }
    EXPECT_EQ(a.boundsMin, b.boundsMin);
    EXPECT_EQ(a.boundsMax, b.boundsMax);
    EXPECT_EQ(a.volume, b.volume);
}

class CadReaderProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("zrv-cad-reader-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        box = dir / "box.brep";
        ASSERT_TRUE(BRepTools::Write(BRepPrimAPI_MakeBox(100, 50, 20).Shape(), box.c_str()));
    }
    void TearDown() override
    {
        ::unsetenv(cell::detail::kCadReaderVariable);
        fs::remove_all(dir);
    }

    fs::path write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }

    fs::path dir;
    fs::path box;
};

// Faces, edges, tracks, names and every number come back bit for bit as
// the reader made them, for every B-rep format and for curved faces.
TEST_F(CadReaderProcessTest, TheReaderGivesTheGeometryOfReadingInProcess)
{
    const TopoDS_Shape cylinder = BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(10, 20, 0), gp::DZ()), 10, 40).Shape();
    STEPControl_Writer step;
    step.Transfer(cylinder, STEPControl_AsIs);
    ASSERT_EQ(step.Write((dir / "cylinder.step").c_str()), IFSelect_RetDone);
    IGESControl_Controller::Init();
    IGESControl_Writer iges("MM", 1);
    iges.AddShape(cylinder);
    iges.ComputeModel();
    ASSERT_TRUE(iges.Write((dir / "cylinder.iges").c_str()));
    std::vector<std::pair<fs::path, GeometryFormat>> files{{dir / "cylinder.step", GeometryFormat::Step},
                                                           {dir / "cylinder.iges", GeometryFormat::Iges},
                                                           {box, GeometryFormat::Brep}};
    for (const auto& [name, bytes] : sdf::testing::SampleCad()) {
        const fs::path path = write(fs::path(name).filename().string(), bytes);
        files.emplace_back(path, *cell::FormatFromName(path.extension().string().substr(1)));
    }
    cell::LoadOptions options;
    for (const auto& [file, format] : files) {
        SCOPED_TRACE(file.string());
        const Geometry apart = cell::detail::ReadBrepApart(file, format, options);
        ASSERT_FALSE(apart.edges.empty());
        ExpectSame(apart, cell::detail::ReadBrep(file, format, options));
    }

    // Errors the reader throws are passed on word for word.
    const fs::path empty = write("empty.step", "ISO-10303-21;\nHEADER;\nENDSEC;\nDATA;\nENDSEC;\nEND-ISO-10303-21;\n");
    const std::string inProcess =
        MessageOf([&] { cell::detail::ReadBrep(empty, GeometryFormat::Step, options); });
    EXPECT_NE(inProcess, "(no error)");
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(empty); }), inProcess);
}

// A file on which OpenCASCADE's BREP reader dereferences a null curve: the
// reader dies, this process reports it, and reads the next file; no
// reader is left unreaped and no descriptor open, whether it crashed, ran
// out of time or answered.
TEST_F(CadReaderProcessTest, ACrashOrTimeoutOfTheReaderIsAnErrorAndLeavesNothingBehind)
{
    const std::size_t descriptors = OpenDescriptors();
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(kCrashingFile); }),
              kCrashingFile.string() + ": the BREP reader crashed on this file (signal 11, Segmentation fault)");

    cell::LoadOptions hurried;
    hurried.readerSeconds = 0.001;
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(box, hurried); }),
              box.string() + ": the BREP reader took longer than 0.001 s and was stopped");

    EXPECT_EQ(cell::LoadGeometry(box).faces.size(), 6u);
    int status = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(CadReaderProcessTest, AMissingOrMisbehavingReaderProgramIsNamed)
{
    ::setenv(cell::detail::kCadReaderVariable, "/nonexistent/zrv-cad-read", 1);
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(box); }),
              box.string() + ": cannot read BREP files: no CAD reader program at \"/nonexistent/zrv-cad-read\" "
                             "(named by ZRV_CAD_READER)");
    // A program that writes something else: its arguments and a newline.
    ::setenv(cell::detail::kCadReaderVariable, "/bin/echo", 1);
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(box); }),
              box.string() + ": the BREP reader's answer is malformed (no answer header)");
    ::setenv(cell::detail::kCadReaderVariable, "/bin/false", 1);
    EXPECT_EQ(MessageOf([&] { cell::LoadGeometry(box); }),
              box.string() + ": the BREP reader stopped with exit status 1 without an answer");
    ::unsetenv(cell::detail::kCadReaderVariable);
    EXPECT_TRUE(fs::exists(cell::detail::CadReaderProgram()));
}

Geometry SmallGeometry()
{
    Geometry g;
    g.name = "bracket";
    g.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    g.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    g.indices = {0, 1, 2};
    g.points = {5, 5, 5};
    Geometry::Face face;
    face.indexCount = 3;
    face.area = 0.5;
    face.edges = {1, 0};
    face.tracks.resize(2);
    face.tracks[0].points = {{0, 0, 0}, {1, 0, 0}};
    face.tracks[0].normals = {{0, 0, 1}, {0, 0, 1}};
    face.tracks[0].tangents = {{1, 0, 0}, {1, 0, 0}};
    face.part = 0;
    face.hasColour = true;
    face.colour = {0.1f, 0.2f, 0.3f, 1.0f};
    g.faces = {face};
    g.edges.resize(2);
    g.edges[0].points = {{0, 0, 0}, {1, 0, 0}};
    g.edges[0].length = 1;
    g.edges[1].degenerate = true;
    g.parts = {{"plate", 2.5}};
    g.boundsMax = {1, 1, 0};
    g.volume = 2.5;
    return g;
}

// The answer comes from another process, which a malformed file may have
// left in any state: whatever bytes arrive are geometry that every index
// of is good, or an exact error.
TEST(GeometryWireTest, AnswersAreDecodedInFullOrRefusedExactly)
{
    const fs::path file = "/cell/part.step";
    auto decode = [&](std::string_view bytes) { return cell::detail::DecodeGeometry(bytes, file, "STEP"); };
    auto refusal = [&](std::string_view bytes) { return MessageOf([&] { decode(bytes); }); };
    const std::string prefix = "/cell/part.step: the STEP reader's answer is malformed (";

    const std::string good = cell::detail::EncodeGeometry(SmallGeometry());
    ExpectSame(decode(good), SmallGeometry());
    EXPECT_EQ(refusal(cell::detail::EncodeError("/cell/part.step: not a readable STEP file")),
              "/cell/part.step: not a readable STEP file");

    for (std::size_t size = 0; size < good.size(); ++size)
        ASSERT_TRUE(refusal(good.substr(0, size)).starts_with(prefix)) << size;
    EXPECT_EQ(refusal(good + '\0'), prefix + "1 bytes after the end)");
    EXPECT_EQ(refusal(cell::detail::EncodeError("gone") + "x"), prefix + "1 bytes after the error message)");
    // The count of positions, after the header (9 bytes) and the name.
    std::string huge = good;
    const std::uint64_t count = std::uint64_t{1} << 62;
    std::memcpy(huge.data() + 9 + 8 + 7, &count, sizeof count);
    EXPECT_EQ(refusal(huge), prefix + "4611686018427387904 positions of 4 bytes each, " +
                                 std::to_string(good.size() - 9 - 8 - 7 - 8) + " bytes left)");

    Geometry bad = SmallGeometry();
    bad.indices[2] = 3;
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)), prefix + "vertex index 3 of 3 vertices)");
    bad = SmallGeometry();
    bad.faces[0].edges[0] = 2;
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)), prefix + "edge 2 of 2 edges)");
    bad = SmallGeometry();
    bad.faces[0].part = 1;
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)), prefix + "part 1 of 1 parts)");
    bad = SmallGeometry();
    bad.faces[0].firstIndex = 3;
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)),
              prefix + "a face's indices 3+3 are not whole triangles within the 3 indices)");
    bad = SmallGeometry();
    bad.faces[0].tracks.pop_back();
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)), prefix + "a face of 2 edges has 1 edge tracks)");
    bad = SmallGeometry();
    bad.normals.pop_back();
    EXPECT_EQ(refusal(cell::detail::EncodeGeometry(bad)), prefix + "8 normal coordinates for 9 vertex coordinates)");
}

} // namespace
