// Path generation along 10 m of edges at 1 mm spacing (10,000 targets):
// the placement and orientation alone, and the whole generation into a
// station (edges from a feature's shape files, targets and moves written
// over the previous path), and the whole from a STEP part's face edges
// with every target's reach judged by the sample's robot, the goal for which
// is 1 s.
#include <SampleCell.h>

#include <cell/CadPartGeometry.h>
#include <cell/CellKinematics.h>
#include <cell/GeometryCache.h>
#include <cell/OperationPath.h>
#include <cell/PathGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <BRepPrimAPI_MakeCylinder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <STEPControl_Writer.hxx>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <regex>
#include <stdexcept>
#include <string>

namespace {

constexpr int kEdges = 10;
constexpr int kEdgeLength = 1000; // mm, one point a millimetre

// A wavy seam, so that tangents and normals change along it: edge k runs
// from x = 1000 k to 1000 (k + 1).
cell::Vec3d SeamPoint(int x)
{
    return {static_cast<double>(x), 20 * std::sin(x / 100.0), 0};
}

std::vector<cell::EdgeCurve> Edges()
{
    std::vector<cell::EdgeCurve> edges(kEdges);
    for (int k = 0; k < kEdges; ++k)
        for (int x = k * kEdgeLength; x <= (k + 1) * kEdgeLength; ++x)
            edges[static_cast<std::size_t>(k)].points.push_back({SeamPoint(x), {0, 0, 1}, {}});
    return edges;
}

cell::PathSettings Settings()
{
    cell::PathSettings s;
    s.approximation = cell::PathSettings::Approximation::Constant;
    s.targetSpacing = 1;
    s.start = {10, 15, 0};
    s.end = {-10, 5, 30};
    s.interpolateAngles = true;
    s.speed = 1;
    return s;
}

void BM_PlaceAndOrient(benchmark::State& state)
{
    const auto edges = Edges();
    const cell::PathGenerator generator(Settings());
    std::size_t targets = 0;
    for (auto _ : state) {
        const auto poses = generator.generate(edges);
        targets = poses.size();
        benchmark::DoNotOptimize(poses.data());
    }
    state.counters["targets"] = static_cast<double>(targets);
}
BENCHMARK(BM_PlaceAndOrient)->Unit(benchmark::kMillisecond);

void BM_GenerateIntoStation(benchmark::State& state)
{
    const auto dir = std::filesystem::temp_directory_path() / "zrv-path-bench";
    std::filesystem::create_directories(dir);
    std::string edges;
    for (int k = 0; k < kEdges; ++k) {
        const std::string name = "edge" + std::to_string(k) + ".xyz";
        std::ofstream out(dir / name);
        for (int x = k * kEdgeLength; x <= (k + 1) * kEdgeLength; ++x) {
            const auto p = SeamPoint(x);
            out << p[0] << ' ' << p[1] << ' ' << p[2] << '\n';
        }
        edges += "<mfgedge><geometry><uri>" + name + "</uri><file_type>xyz</file_type></geometry>"
                 "<vector><t>0</t><ijk>0 0 1</ijk><twist>0</twist><tilt>0</tilt></vector></mfgedge>";
    }
    const auto doc = sdf::SDF::ReadSdfFromString(
        "<sdf version='1.0'><station id='1'><name>Bench</name>"
        "<task id='3'><name>Main</name><parent>1</parent>"
        "<dataitem id='4'><name>gun</name><value type='tooldata'>true 0 0 100 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value>"
        "<parent>3</parent></dataitem><child>4</child>"
        "<dataitem id='5'><name>fixture</name><value type='wobjdata'>false true \"\" 500 0 200 1 0 0 0 0 0 0 1 0 0 0"
        "</value><parent>3</parent></dataitem><child>5</child>"
        "<dataitem id='6'><name>weld</name><value type='speeddata'>10 500 5000 1000</value><parent>3</parent>"
        "</dataitem><child>6</child>"
        "<dataitem id='7'><name>fine</name><value type='zonedata'>false 1 1 1 0.1 1 0.1</value><parent>3</parent>"
        "</dataitem><child>7</child></task><child>3</child>"
        "<mfg id='20'><name>Seam</name><pose>500 0 200 1 0 0 0</pose><parent>1</parent>" +
        edges +
        "</mfg><child>20</child>"
        "<operation id='21'><name>Long seam</name><type>ContinuousMfg</type><parent>1</parent><mfgid>20</mfgid>"
        "<path_gen><approximation_type>Constant</approximation_type><target_spacing>1</target_spacing>"
        "<work_angle>10</work_angle><end_work_angle>-10</end_work_angle>"
        "<orientation_configuration>linear_interpolation</orientation_configuration>"
        "<speed>6</speed><zone>7</zone><workobject>5</workobject><tooldata>4</tooldata></path_gen>"
        "<approach_retract/></operation><child>21</child><next_dataid>30</next_dataid></station></sdf>");
    const auto root = doc->Root();
    const auto operation = cell::OperationPath::Find(*root, "21");
    cell::OperationPath::Result result;
    for (auto _ : state)
        result = cell::OperationPath::Generate(root, *operation, {dir, {}, {}, {}});
    state.counters["targets"] = static_cast<double>(result.targets.size());
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GenerateIntoStation)->Unit(benchmark::kMillisecond);

unsigned ItemId(const sdf::Element& task, const std::string& name)
{
    for (const auto& item : task.children("dataitem"))
        if (item->valueOr<std::string>("name", std::string()) == name)
            return item->getId(false);
    throw std::runtime_error("the sample's task has no " + name);
}

// The sample cell with a disc on the table whose top rim is 1 m round; the
// operation runs the rim ten times (10 m, 10,000 targets at 1 mm), the
// torch's orientation held (spherical interpolation, no Z rotation), so
// that the sample robot reaches the whole way round. The STEP file is read
// once, as when a path is generated again.
void BM_GenerateStepEdgesWithReach(benchmark::State& state)
{
    const auto dir = std::filesystem::temp_directory_path() / "zrv-path-step-bench";
    std::filesystem::create_directories(dir);
    const double radius = 1000 / (2 * std::numbers::pi);
    {
        STEPControl_Writer writer;
        Interface_Static::SetCVal("write.step.unit", "MM");
        if (writer.Transfer(BRepPrimAPI_MakeCylinder(radius, 20).Shape(), STEPControl_AsIs) != IFSelect_RetDone ||
            writer.Write((dir / "disc.step").c_str()) != IFSelect_RetDone) {
            state.SkipWithError("the disc could not be written");
            return;
        }
    }
    std::string text = sdf::testing::BuildSampleCell()->toXMLString("");
    const auto sample = sdf::SDF::ReadSdfFromString(text);
    const auto task = sample->Root()->get("station/task");
    std::string edges;
    for (int k = 0; k < kEdges; ++k)
        edges += "<edge><bodyface><bodyid>9001</bodyid><faceindex>1</faceindex></bodyface><edgeindex>0</edgeindex>"
                 "<reversed>false</reversed></edge>";
    const std::string added = fmt::format(
        "<part id='9000'><name>Disc</name><pose>800 0 760 1 0 0 0</pose><parent>1</parent>"
        "<body id='9001'><name>Disc</name><parent>9000</parent><geometry><uri>disc.step</uri>"
        "<file_type>step</file_type></geometry></body><child>9001</child></part><child>9000</child>"
        "<operation id='9002'><name>Rim</name><type>ContinuousMfg</type><parent>1</parent>"
        "<process_edgeoperation>{}</process_edgeoperation><path_gen>"
        "<path_alignment_method>spherical_interpolation</path_alignment_method><spin_angle>180</spin_angle>"
        "<approximation_type>Constant</approximation_type><target_spacing>1</target_spacing>"
        "<speed>{}</speed><zone>{}</zone><workobject>{}</workobject><tooldata>{}</tooldata></path_gen>"
        "</operation><child>9002</child><next_dataid>10000</next_dataid>",
        edges, ItemId(*task, "speedWeld"), ItemId(*task, "zoneWeld"), ItemId(*task, "tableTop"),
        ItemId(*task, "weldGun"));
    text = std::regex_replace(text, std::regex("<next_dataid>[0-9]+</next_dataid>"), added);
    const auto doc = sdf::SDF::ReadSdfFromString(text);
    const auto root = doc->Root();
    const auto operation = cell::OperationPath::Find(*root, "Rim");
    const auto cache = std::make_shared<cell::GeometryCache>();
    cell::OperationPath::Result result;
    for (auto _ : state) {
        // Everything a generation does: the robot's kinematics, the seam
        // onto the geometry, the targets, their reach, the writing.
        const cell::CellKinematics kinematics(root);
        cell::OperationPath::Options options;
        options.baseDirectory = dir;
        options.geometry = cell::CadPartGeometry::For(root, dir, cache);
        options.judgeFor = [&](const sdf::Element& t, const sdf::Element& tool) { return kinematics.judgeFor(t, tool); };
        result = cell::OperationPath::Generate(root, *operation, options);
    }
    state.counters["targets"] = static_cast<double>(result.targets.size());
    state.counters["unreachable"] = static_cast<double>(result.unreachable);
    state.counters["configuration_changes"] = static_cast<double>(result.configurationChanges);
    state.counters["judged"] = result.judged ? 1 : 0;
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GenerateStepEdgesWithReach)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
