// Loading and tessellating a STEP assembly of 200 filleted plates with
// holes (about 17 MB), as parts arrive from design: the whole path from the
// file to triangles and the faces' and edges' measures. Loading goes
// through the CAD reader program; the same reading in this process (what
// the program does inside) shows what the separate process costs, for the
// assembly and for the sample station's small STEP part.
//
// The assembly is made once with OpenCASCADE and kept in the temporary
// directory (ZRV_GEOMETRY_BENCH_FILE names another place).

#include "cell/BrepReader.h"
#include "cell/GeometryCache.h"
#include "cell/GeometryLoader.h"

#include "SampleCad.h"

#include <BRepAlgoAPI_Cut.hxx>
#include <BRepFilletAPI_MakeFillet.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <BRepBuilderAPI_Copy.hxx>
#include <BRep_Builder.hxx>
#include <TopTools_ListOfShape.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <TDataStd_Name.hxx>
#include <TDocStd_Document.hxx>
#include <TopExp_Explorer.hxx>
#include <TopoDS.hxx>
#include <TopoDS_Compound.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>
#include <gp_Ax2.hxx>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kPlates = 200;

constexpr int kVariants = 35;

// Plate variant k: a slab with rounded edges and two rows of holes. The
// assembly holds a copy of a variant per plate, so that the file holds 200
// shapes, not one shape 200 times.
TopoDS_Shape Plate(int k)
{
    const double length = 300 + k % 7 * 10;
    const double width = 160 + k % 5 * 8;
    const double thickness = 12;
    TopoDS_Shape plate = BRepPrimAPI_MakeBox(length, width, thickness).Shape();
    BRepFilletAPI_MakeFillet rounded(plate);
    for (TopExp_Explorer edge(plate, TopAbs_EDGE); edge.More(); edge.Next())
        rounded.Add(3, TopoDS::Edge(edge.Current()));
    plate = rounded.Shape();
    TopTools_ListOfShape cutters;
    for (int row = 0; row < 2; ++row)
        for (int hole = 0; hole < 2; ++hole) {
            const gp_Pnt centre(60 + hole * (length - 120), row == 0 ? 40 : width - 40, -1);
            cutters.Append(BRepPrimAPI_MakeCylinder(gp_Ax2(centre, gp::DZ()), 8 + k % 3, thickness + 2).Shape());
        }
    TopTools_ListOfShape arguments;
    arguments.Append(plate);
    BRepAlgoAPI_Cut cut;
    cut.SetArguments(arguments);
    cut.SetTools(cutters);
    cut.Build();
    return cut.Shape();
}

std::filesystem::path Assembly()
{
    const char* given = std::getenv("ZRV_GEOMETRY_BENCH_FILE");
    const std::filesystem::path file =
        given ? given : std::filesystem::temp_directory_path() / "zrv-geometry-bench-plates.step";
    if (std::filesystem::exists(file))
        return file;
    Handle(TDocStd_Document) document;
    XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", document);
    const Handle(XCAFDoc_ShapeTool) shapes = XCAFDoc_DocumentTool::ShapeTool(document->Main());
    const TDF_Label assembly = shapes->NewShape();
    TDataStd_Name::Set(assembly, "Plates");
    std::vector<TopoDS_Shape> variants;
    for (int k = 0; k < kVariants; ++k)
        variants.push_back(Plate(k));
    for (int k = 0; k < kPlates; ++k) {
        const TDF_Label plate = shapes->AddShape(BRepBuilderAPI_Copy(variants[k % kVariants]).Shape(), false);
        TDataStd_Name::Set(plate, TCollection_ExtendedString(("Plate " + std::to_string(k)).c_str()));
        gp_Trsf place;
        place.SetTranslation(gp_Vec(k % 20 * 400.0, k / 20 * 250.0, 0));
        shapes->AddComponent(assembly, plate, TopLoc_Location(place));
    }
    shapes->UpdateAssemblies();
    STEPCAFControl_Writer writer;
    writer.Transfer(document, STEPControl_AsIs);
    const std::filesystem::path partial = file.string() + ".part";
    if (writer.Write(partial.c_str()) != IFSelect_RetDone)
        std::abort();
    std::filesystem::rename(partial, file);
    XCAFApp_Application::GetApplication()->Close(document);
    return file;
}

void BM_LoadStepAssembly(benchmark::State& state)
{
    const std::filesystem::path file = Assembly();
    std::size_t triangles = 0, faces = 0, edges = 0;
    for (auto _ : state) {
        const cell::Geometry geometry = cell::LoadGeometry(file);
        triangles = geometry.triangleCount();
        faces = geometry.faces.size();
        edges = geometry.edges.size();
        benchmark::DoNotOptimize(geometry.positions.data());
    }
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(file)) / 1e6;
    state.counters["faces"] = static_cast<double>(faces);
    state.counters["edges"] = static_cast<double>(edges);
    state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_LoadStepAssembly)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_ReadStepAssemblyInProcess(benchmark::State& state)
{
    const std::filesystem::path file = Assembly();
    for (auto _ : state)
        benchmark::DoNotOptimize(cell::detail::ReadBrep(file, cell::GeometryFormat::Step, {}).positions.data());
}
BENCHMARK(BM_ReadStepAssemblyInProcess)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

std::filesystem::path SamplePart()
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "zrv-geometry-bench-angle.step";
    std::ofstream(file, std::ios::binary | std::ios::trunc) << sdf::testing::SampleCad().at("geometry/angle_200.step");
    return file;
}

// The sample station's angle plate (one solid of a few faces): here the
// cost of starting the program is most of the time.
void BM_LoadSamplePart(benchmark::State& state)
{
    const std::filesystem::path file = SamplePart();
    for (auto _ : state)
        benchmark::DoNotOptimize(cell::LoadGeometry(file).positions.data());
}
BENCHMARK(BM_LoadSamplePart)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadSamplePartInProcess(benchmark::State& state)
{
    const std::filesystem::path file = SamplePart();
    for (auto _ : state)
        benchmark::DoNotOptimize(cell::detail::ReadBrep(file, cell::GeometryFormat::Step, {}).positions.data());
}
BENCHMARK(BM_ReadSamplePartInProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

// A second ask for a file already loaded, as an edited or reopened station
// makes it.
void BM_CachedAgain(benchmark::State& state)
{
    const std::filesystem::path file = Assembly();
    cell::GeometryCache cache;
    cache.get(file);
    for (auto _ : state)
        benchmark::DoNotOptimize(cache.get(file));
    state.counters["reads"] = static_cast<double>(cache.readCount());
}
BENCHMARK(BM_CachedAgain)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
