// Reading B-rep and mesh files: shapes made here with OpenCASCADE, written
// as STEP, IGES, BREP and STL, read back with their faces, edges, areas and
// volumes in the order the shape as written has them; and files that must
// be refused with a message rather than crash or hang.
#include "cell/GeometryLoader.h"

#include <BRepAlgoAPI_Fuse.hxx>
#include <BRepBuilderAPI_Transform.hxx>
#include <BRepGProp.hxx>
#include <BRepMesh_IncrementalMesh.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepTools.hxx>
#include <GProp_GProps.hxx>
#include <IGESControl_Controller.hxx>
#include <IGESControl_Writer.hxx>
#include <Interface_Static.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <STEPControl_Writer.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <StlAPI_Writer.hxx>
#include <TopExp.hxx>
#include <TopTools_IndexedMapOfShape.hxx>
#include <TopoDS.hxx>
#include <gp_Ax2.hxx>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

namespace {

namespace fs = std::filesystem;
using cell::Geometry;
using cell::LoadGeometry;

constexpr double kPi = std::numbers::pi;

class GeometryLoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("zrv-geometry-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }

    fs::path writeShape(const TopoDS_Shape& shape, const std::string& name) const
    {
        const fs::path path = dir / name;
        const std::string ext = path.extension().string();
        if (ext == ".step") {
            STEPControl_Writer writer;
            writer.Transfer(shape, STEPControl_AsIs);
            EXPECT_EQ(writer.Write(path.c_str()), IFSelect_RetDone);
        } else if (ext == ".iges") {
            IGESControl_Controller::Init();
            // Solids as B-rep entities, so that edges stay shared by faces.
            IGESControl_Writer writer("MM", 1);
            writer.AddShape(shape);
            writer.ComputeModel();
            EXPECT_TRUE(writer.Write(path.c_str()));
        } else if (ext == ".brep") {
            EXPECT_TRUE(BRepTools::Write(shape, path.c_str()));
        } else if (ext == ".stl") {
            BRepMesh_IncrementalMesh(shape, 0.01, false, 0.1, false);
            StlAPI_Writer writer;
            writer.ASCIIMode() = name.find("text") != std::string::npos;
            EXPECT_TRUE(writer.Write(shape, path.c_str()));
        }
        return path;
    }

    fs::path dir;
};

TopoDS_Shape Box() { return BRepPrimAPI_MakeBox(100, 50, 20).Shape(); }
TopoDS_Shape Cylinder() { return BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(10, 20, 0), gp::DZ()), 10, 40).Shape(); }

// A shape whose faces differ in area and place, so that a face read back
// at the wrong index is noticed.
TopoDS_Shape BoxWithPeg()
{
    return BRepAlgoAPI_Fuse(BRepPrimAPI_MakeBox(100, 50, 20).Shape(),
                            BRepPrimAPI_MakeCylinder(gp_Ax2(gp_Pnt(30, 25, 20), gp::DZ()), 8, 15).Shape())
        .Shape();
}

gp_Pnt Centre(const TopoDS_Shape& shape, bool surface)
{
    GProp_GProps props;
    if (surface)
        BRepGProp::SurfaceProperties(shape, props);
    else
        BRepGProp::LinearProperties(shape, props);
    return props.CentreOfMass();
}

// The centre of the triangles of one face (area weighted).
gp_Pnt Centre(const Geometry& geometry, const Geometry::Face& face)
{
    double sx = 0, sy = 0, sz = 0, total = 0;
    auto at = [&](std::uint32_t i) {
        return gp_Pnt(geometry.positions[3 * i], geometry.positions[3 * i + 1], geometry.positions[3 * i + 2]);
    };
    for (std::uint32_t k = face.firstIndex; k < face.firstIndex + face.indexCount; k += 3) {
        const gp_Pnt a = at(geometry.indices[k]), b = at(geometry.indices[k + 1]), c = at(geometry.indices[k + 2]);
        const double area = gp_Vec(a, b).Crossed(gp_Vec(a, c)).Magnitude() / 2;
        sx += area * (a.X() + b.X() + c.X()) / 3;
        sy += area * (a.Y() + b.Y() + c.Y()) / 3;
        sz += area * (a.Z() + b.Z() + c.Z()) / 3;
        total += area;
    }
    return gp_Pnt(sx / total, sy / total, sz / total);
}

TEST_F(GeometryLoaderTest, BoxAndCylinderReadBackFromEveryBrepFormat)
{
    for (const std::string ext : {".step", ".iges", ".brep"}) {
        SCOPED_TRACE(ext);
        const Geometry box = LoadGeometry(writeShape(Box(), "box" + ext));
        EXPECT_EQ(box.format, ext.substr(1));
        ASSERT_EQ(box.faces.size(), 6u);
        EXPECT_EQ(box.edges.size(), 12u);
        EXPECT_NEAR(box.area(), 2 * (100 * 50 + 100 * 20 + 50 * 20), 1e-6);
        EXPECT_NEAR(box.volume, 100 * 50 * 20, 1e-6);
        EXPECT_EQ(box.triangleCount(), 12u);
        for (const auto& face : box.faces)
            EXPECT_EQ(face.edges.size(), 4u);
        EXPECT_NEAR(box.boundsMax[0] - box.boundsMin[0], 100, 1e-6);
        EXPECT_NEAR(box.boundsMax[2], 20, 1e-6);

        const Geometry cylinder = LoadGeometry(writeShape(Cylinder(), "cylinder" + ext));
        EXPECT_EQ(cylinder.faces.size(), 3u);
        EXPECT_EQ(cylinder.edges.size(), 3u); // two circles and the seam
        EXPECT_NEAR(cylinder.area(), 2 * kPi * 10 * 40 + 2 * kPi * 100, 1e-3);
        EXPECT_NEAR(cylinder.volume, kPi * 100 * 40, 1e-3);
        double circles = 0;
        for (const auto& edge : cylinder.edges)
            circles += edge.length;
        EXPECT_NEAR(circles, 2 * 2 * kPi * 10 + 40, 1e-6);
        // Within the chord tolerance, the triangles cover the cylinder's
        // side, not a coarse prism.
        EXPECT_GT(cylinder.triangleCount(), 60u);
        EXPECT_NEAR(cylinder.boundsMin[0], 0, 1e-6);
        EXPECT_NEAR(cylinder.boundsMax[1], 30, 1e-6);
    }
}

// Faces come in the order of the shape written; a face's edges in an order
// of place that every format, and a shape moved in memory, agree on.
TEST_F(GeometryLoaderTest, FacesAndEdgesKeepTheirIndexAcrossWriteAndRead)
{
    const TopoDS_Shape shape = BoxWithPeg();
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(shape, TopAbs_FACE, faces);
    const Geometry brep = LoadGeometry(writeShape(shape, "peg.brep"));
    ASSERT_EQ(brep.faces.size(), static_cast<std::size_t>(faces.Extent()));
    ASSERT_EQ(brep.edges.size(), 15u); // the box's twelve, the peg's two circles and seam
    for (std::size_t i = 0; i < brep.faces.size(); ++i) {
        GProp_GProps props;
        BRepGProp::SurfaceProperties(faces(static_cast<int>(i) + 1), props);
        EXPECT_NEAR(brep.faces[i].area, props.Mass(), 1e-6) << "face " << i;
        EXPECT_LT(Centre(brep, brep.faces[i]).Distance(Centre(faces(static_cast<int>(i) + 1), true)), 0.5)
            << "face " << i;
    }
    // Picking a triangle names its face.
    for (std::size_t i = 0; i < brep.faces.size(); ++i) {
        const auto& face = brep.faces[i];
        ASSERT_GT(face.indexCount, 0u);
        EXPECT_EQ(brep.faceOfTriangle(face.firstIndex / 3), static_cast<std::int64_t>(i));
        EXPECT_EQ(brep.faceOfTriangle((face.firstIndex + face.indexCount) / 3 - 1), static_cast<std::int64_t>(i));
    }
    EXPECT_EQ(brep.faceOfTriangle(brep.triangleCount()), -1);

    // The four edges of the box's top face come in order of place; so do
    // the ones of every face.
    const auto& top = brep.faces[2];
    ASSERT_EQ(top.edges.size(), 5u);
    EXPECT_NEAR(brep.edges[top.edges[0]].points.front()[0], 0, 1e-9);
    EXPECT_NEAR(brep.edges[top.edges[4]].points.front()[0], 100, 1e-9);

    for (const std::string ext : {".step", ".iges"}) {
        SCOPED_TRACE(ext);
        const Geometry read = LoadGeometry(writeShape(shape, "peg" + ext));
        ASSERT_EQ(read.faces.size(), brep.faces.size());
        ASSERT_EQ(read.edges.size(), brep.edges.size());
        for (std::size_t i = 0; i < read.faces.size(); ++i) {
            EXPECT_NEAR(read.faces[i].area, brep.faces[i].area, 1e-6) << "face " << i;
            EXPECT_EQ(read.faces[i].edges, brep.faces[i].edges) << "face " << i;
        }
        for (std::size_t i = 0; i < read.edges.size(); ++i) {
            const auto& edge = read.edges[i];
            EXPECT_NEAR(edge.length, brep.edges[i].length, 1e-6) << "edge " << i;
            ASSERT_FALSE(edge.points.empty()) << "edge " << i;
            const auto& a = edge.points[edge.points.size() / 2];
            double nearest = 1e9;
            for (const auto& b : brep.edges[i].points)
                nearest = std::min(nearest, std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]));
            EXPECT_LT(nearest, 1.0) << "edge " << i;
        }
    }
}

// A file written in metres or inches reads back in millimetres.
TEST_F(GeometryLoaderTest, StepAndIgesInOtherUnitsComeBackInMillimetres)
{
    for (const auto& [unit, perMillimetre] : {std::pair{"M", 1e-3}, std::pair{"INCH", 1 / 25.4}}) {
        SCOPED_TRACE(unit);
        // The STEP writer labels the numbers with the unit without
        // converting them: the box is scaled here, so that the file says
        // 0.1 m (or 3.937 in).
        gp_Trsf scale;
        scale.SetScale(gp::Origin(), perMillimetre);
        STEPControl_Writer writer;
        ASSERT_TRUE(Interface_Static::SetCVal("write.step.unit", unit));
        writer.Transfer(BRepBuilderAPI_Transform(Box(), scale).Shape(), STEPControl_AsIs);
        ASSERT_EQ(writer.Write((dir / "box.step").c_str()), IFSelect_RetDone);
        ASSERT_TRUE(Interface_Static::SetCVal("write.step.unit", "MM"));
        const Geometry step = LoadGeometry(dir / "box.step");
        EXPECT_NEAR(step.boundsMax[0], 100, 1e-6);
        EXPECT_NEAR(step.volume, 100 * 50 * 20, 1e-3);

        IGESControl_Controller::Init();
        IGESControl_Writer iges(unit, 1);
        iges.AddShape(Box()); // this writer converts from millimetres
        iges.ComputeModel();
        ASSERT_TRUE(iges.Write((dir / "box.iges").c_str()));
        EXPECT_NEAR(LoadGeometry(dir / "box.iges").boundsMax[1], 50, 1e-6);
    }
}

TEST_F(GeometryLoaderTest, StepKeepsTheNamesAndColoursOfItsSolidsAndFaces)
{
    Handle(TDocStd_Document) document;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", document);
    const auto shapes = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    const auto colours = XCAFDoc_DocumentTool::ColorTool(document->Main());
    const TopoDS_Shape box = Box();
    const TDF_Label label = shapes->AddShape(box, false);
    TDataStd_Name::Set(label, "Fixture plate");
    colours->SetColor(label, Quantity_Color(0.2, 0.4, 0.6, Quantity_TOC_sRGB), XCAFDoc_ColorSurf);
    TopTools_IndexedMapOfShape faces;
    TopExp::MapShapes(box, TopAbs_FACE, faces);
    const TDF_Label top = shapes->AddSubShape(label, faces(6));
    colours->SetColor(top, Quantity_Color(1, 0, 0, Quantity_TOC_sRGB), XCAFDoc_ColorSurf);
    STEPCAFControl_Writer writer;
    ASSERT_TRUE(writer.Transfer(document, STEPControl_AsIs));
    ASSERT_EQ(writer.Write((dir / "named.step").c_str()), IFSelect_RetDone);
    XCAFApp_Application::GetApplication()->Close(document);

    const Geometry read = LoadGeometry(dir / "named.step");
    ASSERT_EQ(read.parts.size(), 1u);
    EXPECT_EQ(read.parts[0].name, "Fixture plate");
    EXPECT_NEAR(read.parts[0].volume, 100 * 50 * 20, 1e-6);
    ASSERT_EQ(read.faces.size(), 6u);
    for (std::size_t i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read.faces[i].part, 0);
        ASSERT_TRUE(read.faces[i].hasColour);
        const std::array<float, 4> expected =
            i == 5 ? std::array<float, 4>{1, 0, 0, 1} : std::array<float, 4>{0.2f, 0.4f, 0.6f, 1};
        for (std::size_t c = 0; c < 4; ++c)
            EXPECT_NEAR(read.faces[i].colour[c], expected[c], 1e-3);
    }
}

TEST_F(GeometryLoaderTest, StlTextAndBinaryGiveTheTrianglesWritten)
{
    for (const std::string name : {"box-text.stl", "box-binary.stl"}) {
        SCOPED_TRACE(name);
        const Geometry box = LoadGeometry(writeShape(Box(), name));
        EXPECT_EQ(box.format, "stl");
        ASSERT_EQ(box.faces.size(), 1u);
        EXPECT_TRUE(box.edges.empty());
        EXPECT_EQ(box.triangleCount(), 12u);
        EXPECT_NEAR(box.area(), 2 * (100 * 50 + 100 * 20 + 50 * 20), 1e-2);
        EXPECT_NEAR(box.volume, 100 * 50 * 20, 1);
    }
    const Geometry cylinder = LoadGeometry(writeShape(Cylinder(), "cylinder.stl"));
    EXPECT_NEAR(cylinder.volume, kPi * 100 * 40, kPi * 100 * 40 * 1e-3);
}

TEST_F(GeometryLoaderTest, MeshUnitsComeFromTheFileTypeOrTheOptions)
{
    const std::string obj = "o plate\nv 0 0 0\nv 2 0 0\nv 2 1 0\nv 0 1 0\nf 1 2 3 4\n";
    const fs::path file = write("plate.obj", obj);
    const Geometry millimetres = LoadGeometry(file);
    EXPECT_EQ(millimetres.triangleCount(), 2u);
    EXPECT_NEAR(millimetres.area(), 2, 1e-9);
    EXPECT_NEAR(LoadGeometry(file, {.fileType = "obj:m"}).area(), 2e6, 1e-3);
    cell::LoadOptions inches;
    inches.meshUnit = 25.4;
    EXPECT_NEAR(LoadGeometry(file, inches).boundsMax[0], 50.8, 1e-5);
    // The extension decides the format; the type is for files without one.
    const fs::path bare = write("plate", obj);
    EXPECT_NEAR(LoadGeometry(bare, {.fileType = "obj:cm"}).area(), 200, 1e-6);
    EXPECT_THROW(LoadGeometry(file, {.fileType = "obj:furlong"}), std::runtime_error);
}

// The message for a file, or "" when it loaded.
std::string ErrorOf(const fs::path& file, const cell::LoadOptions& options = {})
{
    try {
        LoadGeometry(file, options);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

TEST_F(GeometryLoaderTest, BadFilesAreRefusedWithTheirReason)
{
    const std::string d = dir.string() + "/";
    EXPECT_EQ(ErrorOf(dir / "missing.step"), d + "missing.step: no such file");
    fs::create_directory(dir / "folder.stl");
    EXPECT_EQ(ErrorOf(dir / "folder.stl"), d + "folder.stl: a directory, not a geometry file");
    ASSERT_EQ(::mkfifo((dir / "pipe.step").c_str(), 0600), 0);
    EXPECT_EQ(ErrorOf(dir / "pipe.step"), d + "pipe.step: not a regular file");
    EXPECT_EQ(ErrorOf(write("empty.obj", "")), d + "empty.obj: empty file");
    cell::LoadOptions small;
    small.maxBytes = 1000;
    EXPECT_EQ(ErrorOf(write("big.ply", std::string(2000, 'x')), small),
              d + "big.ply: 2000 bytes, more than the limit of 1000 bytes");
    EXPECT_EQ(ErrorOf(write("text.step", "solid x\nendsolid x\n")),
              d + "text.step: not a STEP file (it does not begin with ISO-10303-21)");
    EXPECT_EQ(ErrorOf(write("mesh.stl", "ply\nformat ascii 1.0\nend_header\n")),
              d + "mesh.stl: not an STL file (text STL begins with \"solid\", binary STL is 84 + 50 bytes per "
                  "triangle; this file has 32 bytes)");
    EXPECT_EQ(ErrorOf(write("cut.stl", "solid cut\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n")),
              d + "cut.stl: truncated text STL file (no endsolid)");
    EXPECT_EQ(ErrorOf(write("deep.gltf", "{\"asset\":" + std::string(100000, '[') + "}")),
              d + "deep.gltf: JSON nested more than 64 levels deep");
    // A header Assimp's parser would loop on for ever.
    EXPECT_EQ(ErrorOf(write("loop.ply", "ply\nformat ascii 1.0\nelement verM-6tex 3\nproperty float x\n"
                                        "element face 1\nproperty list uchar int ver(2)\nPARAMETRIC_\n0 1 0\n")),
              d + "loop.ply: not a PLY file (its header has a line the format does not know)");
    // A face naming a vertex past the header's count: Assimp's reader left
    // a polygon type on triangles, and its triangulation aborted the process.
    EXPECT_EQ(ErrorOf(write("overrun.ply", "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\n"
                                           "property float y\nproperty float z\nelement face 1\n"
                                           "property list uchar int vertex_indices\nend_header\n"
                                           "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")),
              d + "overrun.ply: the ply file's mesh 0 face 0 has no vertices");
    EXPECT_EQ(ErrorOf(write("shape.xyz", "1 2 3\n")),
              d + "shape.xyz: unknown geometry format (extension \"xyz\", file type \"\")");

    // A binary STL cut short in its triangles.
    std::string binary = std::string(80, ' ') + std::string("\x02\0\0\0", 4) + std::string(50, '\0');
    EXPECT_EQ(ErrorOf(write("short.stl", binary)),
              d + "short.stl: not an STL file (text STL begins with \"solid\", binary STL is 84 + 50 bytes per "
                  "triangle; this file has 134 bytes)");

    // A STEP file cut in the middle: the header is there, the data is not.
    const fs::path whole = writeShape(Box(), "whole.step");
    std::ifstream in(whole, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(ErrorOf(write("half.step", text.substr(0, text.size() / 3))), d + "half.step: not a readable STEP file");
    EXPECT_EQ(ErrorOf(write("noise.iges", std::string(80, 'A') + "\n")),
              d + "noise.iges: not an IGES file (no start section in column 73 of the first line)");
}

} // namespace
