// Paths generated on the faces' edges of STEP parts made here with
// OpenCASCADE: targets on the edge within the chord tolerance, offsets
// along the face normal and sideways, orientation from the work, travel and
// spin angles against frames worked out by hand, reversed edges, and
// regeneration that replaces only the operation's own path.
#include "cell/CadPartGeometry.h"
#include "cell/GeometryCache.h"
#include "cell/GeometryLoader.h"
#include "cell/OperationPath.h"

#include <SampleCad.h>

#include <sdformat/Element.h>
#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <BRepBuilderAPI_MakePolygon.hxx>
#include <BRepPrimAPI_MakeBox.hxx>
#include <BRepTools.hxx>
#include <BRepPrimAPI_MakeCylinder.hxx>
#include <IFSelect_ReturnStatus.hxx>
#include <Interface_Static.hxx>
#include <STEPControl_Writer.hxx>
#include <TopoDS_Shape.hxx>
#include <TopoDS_Wire.hxx>
#include <gp_Pnt.hxx>

#include <Eigen/Geometry>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <numbers>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using cell::OperationPath;
using cell::Vec3d;

constexpr double kDegree = std::numbers::pi / 180;

class Scratch
{
public:
    Scratch()
        : dir(std::filesystem::temp_directory_path() / ("zrv-cad-path-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(dir);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::filesystem::path step(const std::string& name, const TopoDS_Shape& shape) const
    {
        const auto file = dir / name;
        STEPControl_Writer writer;
        Interface_Static::SetCVal("write.step.unit", "MM");
        EXPECT_EQ(writer.Transfer(shape, STEPControl_AsIs), IFSelect_RetDone);
        EXPECT_EQ(writer.Write(file.c_str()), IFSelect_RetDone);
        return file;
    }

    std::filesystem::path dir;
};

// The index of the face, and of its edge, that the predicates pick, as the
// library numbers them: the test names edges the way a user picks them.
std::pair<unsigned, unsigned> FaceEdge(const std::filesystem::path& file,
                                       const std::function<bool(const Vec3d& normal, const Vec3d& point)>& face,
                                       const std::function<bool(const Vec3d& chordMiddle)>& edge)
{
    const cell::Geometry g = cell::LoadGeometry(file);
    for (unsigned f = 0; f < g.faces.size(); ++f)
        for (unsigned e = 0; e < g.faces[f].tracks.size(); ++e) {
            const auto& track = g.faces[f].tracks[e];
            if (track.points.empty() || !face(track.normals.front(), track.points.front()))
                continue;
            const Vec3d &a = track.points.front(), &b = track.points.back();
            if (edge({(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}))
                return {f, e};
        }
    ADD_FAILURE() << "no such face and edge in " << file;
    return {0, 0};
}

// A task with a tool and a work object in the world frame, a part at
// `pose` with the body (id 31) of `file`, and the operations given.
std::string Station(const std::string& file, const std::string& pose, const std::string& operations)
{
    return "<sdf version='1.0'><station id='1'><name>Cell</name>"
           "<task id='3'><name>Main</name><parent>1</parent>"
           "<dataitem id='4'><name>gun</name><value type='tooldata'>true 0 0 100 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value>"
           "<parent>3</parent></dataitem><child>4</child>"
           "<dataitem id='5'><name>world</name><value type='wobjdata'>false true \"\" 0 0 0 1 0 0 0 0 0 0 1 0 0 0"
           "</value><parent>3</parent></dataitem><child>5</child>"
           "<dataitem id='6'><name>slow</name><value type='speeddata'>10 500 5000 1000</value><parent>3</parent>"
           "</dataitem><child>6</child>"
           "<dataitem id='7'><name>fine</name><value type='zonedata'>true 0 0 0 0 0 0</value><parent>3</parent>"
           "</dataitem><child>7</child></task><child>3</child>"
           "<part id='30'><name>Part</name><pose>" +
           pose + "</pose><parent>1</parent><body id='31'><name>Body</name><parent>30</parent><geometry><uri>" +
           file + "</uri><file_type>step</file_type></geometry></body><child>31</child></part><child>30</child>" +
           operations + "<next_dataid>60</next_dataid></station></sdf>";
}

std::string EdgeOperation(unsigned id, const std::string& name, std::pair<unsigned, unsigned> faceEdge, bool reversed,
                          const std::string& gen)
{
    return fmt::format("<operation id='{0}'><name>{1}</name><type>Generic</type><parent>1</parent>"
                       "<process_edgeoperation><edge><bodyface><bodyid>31</bodyid><faceindex>{2}</faceindex>"
                       "</bodyface><edgeindex>{3}</edgeindex><reversed>{4}</reversed></edge></process_edgeoperation>"
                       "<path_gen><speed>6</speed><zone>7</zone><workobject>5</workobject><tooldata>4</tooldata>{5}"
                       "</path_gen></operation><child>{0}</child>",
                       id, name, faceEdge.first, faceEdge.second, reversed, gen);
}

OperationPath::Options Options(const std::shared_ptr<sdf::Element>& root, const Scratch& scratch)
{
    OperationPath::Options options;
    options.baseDirectory = scratch.dir;
    options.geometry = cell::CadPartGeometry::For(root, scratch.dir, std::make_shared<cell::GeometryCache>());
    return options;
}

Eigen::Isometry3d PoseOf(const cell::RigidTransform& t)
{
    Eigen::Isometry3d m = Eigen::Isometry3d::Identity();
    m.linear() = Eigen::Quaterniond(t.q[0], t.q[1], t.q[2], t.q[3]).toRotationMatrix();
    m.translation() = Eigen::Vector3d(t.t[0], t.t[1], t.t[2]);
    return m;
}

TEST(CadPath, TargetsFollowACurvedFaceEdgeWithinTheChordToleranceOffsetAlongTheFaceNormalAndSideways)
{
    Scratch scratch;
    // A cylinder of radius 50 and height 40; its top face's circle, the
    // part tipped 30 degrees about X and shifted, so that nothing lines up
    // with the world's axes by chance.
    scratch.step("drum.step", BRepPrimAPI_MakeCylinder(50, 40).Shape());
    const auto top = FaceEdge(
        scratch.dir / "drum.step",
        [](const Vec3d& n, const Vec3d& p) { return n[2] > 0.999 && std::abs(p[2] - 40) < 1e-6; },
        [](const Vec3d&) { return true; });
    const double half = 15 * kDegree;
    const std::string pose = fmt::format("300 -100 50 {} {} 0 0", std::cos(half), std::sin(half));
    const auto doc = sdf::SDF::ReadSdfFromString(
        Station("drum.step", pose,
                EdgeOperation(40, "Rim", top, false,
                              "<normal_offset>3</normal_offset><side_offset>2</side_offset>"
                              "<approximation_type>Linear</approximation_type><tolerance>0.01</tolerance>"
                              "<target_spacing>5</target_spacing>")));
    const auto root = doc->Root();
    const auto result = OperationPath::Generate(root, *OperationPath::Find(*root, "Rim"), Options(root, scratch));

    Eigen::Isometry3d part = Eigen::Isometry3d::Identity();
    part.rotate(Eigen::AngleAxisd(30 * kDegree, Eigen::Vector3d::UnitX()));
    part.pretranslate(Eigen::Vector3d(300, -100, 50));
    // The whole circle at no more than 5 mm a step.
    ASSERT_GE(result.targets.size(), static_cast<std::size_t>(std::ceil(2 * std::numbers::pi * 50 / 5)));
    EXPECT_NEAR(result.processLength, 2 * std::numbers::pi * 52, 0.5);
    double turned = 0;
    Eigen::Vector3d previous = Eigen::Vector3d::Zero();
    for (std::size_t k = 0; k < result.targets.size(); ++k) {
        const Eigen::Isometry3d tool = PoseOf(result.targets[k].tool);
        const Eigen::Vector3d local = part.inverse() * tool.translation();
        // 3 mm above the face, 2 mm out from the rim (the right-hand side of
        // a boundary that runs counter-clockwise seen from above); chords
        // of the 0.1 mm tessellation cut inside the circle by at most that.
        EXPECT_NEAR(local.z(), 43, 1e-6) << k;
        const double radius = std::hypot(local.x(), local.y());
        EXPECT_GE(radius, 52 - 0.1 - 1e-6) << k;
        EXPECT_LE(radius, 52 + 1e-6) << k;
        // The tool's Z points into the face; its X along the travel.
        const Eigen::Matrix3d axes = part.linear().transpose() * tool.linear();
        EXPECT_NEAR(axes.col(2).z(), -1, 1e-6) << k;
        const Eigen::Vector3d along(-local.y(), local.x(), 0);
        EXPECT_GT(axes.col(0).dot(along.normalized()), 0.99) << k;
        if (k > 0)
            turned += std::atan2(previous.x() * local.y() - previous.y() * local.x(),
                                 previous.x() * local.x() + previous.y() * local.y());
        previous = local;
    }
    EXPECT_NEAR(turned, 2 * std::numbers::pi, 1e-6) << "once round, counter-clockwise seen from above";
}

TEST(CadPath, OrientationFromWorkTravelAndSpinAnglesReversedEdgesAndRegeneratingOneOperation)
{
    Scratch scratch;
    // A 200 x 100 x 50 block; the edge of its top face along its front
    // (y = 0). The part is turned a quarter about Z and shifted: the edge
    // runs along the world's Y at x = 1000.
    scratch.step("block.step", BRepPrimAPI_MakeBox(200, 100, 50).Shape());
    const auto front = FaceEdge(
        scratch.dir / "block.step",
        [](const Vec3d& n, const Vec3d& p) { return n[2] > 0.999 && std::abs(p[2] - 50) < 1e-6; },
        [](const Vec3d& m) { return std::abs(m[1]) < 1e-6; });
    const std::string pose = fmt::format("1000 200 300 {} 0 0 {}", std::sqrt(0.5), std::sqrt(0.5));
    const std::string angles = "<work_angle>30</work_angle><travel_angle>20</travel_angle><spin_angle>40</spin_angle>"
                               "<approximation_type>Constant</approximation_type><target_spacing>50</target_spacing>";
    const auto doc = sdf::SDF::ReadSdfFromString(Station(
        "block.step", pose,
        EdgeOperation(40, "Forward", front, false, angles) + EdgeOperation(41, "Backward", front, true, angles) +
            EdgeOperation(42, "Nowhere", {front.first, 9}, false, "")));
    const auto root = doc->Root();
    const auto options = Options(root, scratch);
    auto& forward = *OperationPath::Find(*root, "Forward");
    const auto ahead = OperationPath::Generate(root, forward, options);
    const auto back = OperationPath::Generate(root, *OperationPath::Find(*root, "Backward"), options);

    // By hand: the path frame's X along the travel, Z down into the top
    // face, Y = Z x X; then 30 degrees about X, 20 about the new Y and 40
    // about the new Z.
    const auto expected = [](const Eigen::Vector3d& travel) {
        Eigen::Matrix3d path;
        const Eigen::Vector3d z(0, 0, -1);
        path << travel, z.cross(travel), z;
        return Eigen::Matrix3d(path * Eigen::AngleAxisd(30 * kDegree, Eigen::Vector3d::UnitX()) *
                               Eigen::AngleAxisd(20 * kDegree, Eigen::Vector3d::UnitY()) *
                               Eigen::AngleAxisd(40 * kDegree, Eigen::Vector3d::UnitZ()));
    };
    for (const auto& [result, travel, start] :
         {std::tuple{ahead, Eigen::Vector3d(0, 1, 0), Eigen::Vector3d(1000, 200, 350)},
          std::tuple{back, Eigen::Vector3d(0, -1, 0), Eigen::Vector3d(1000, 400, 350)}}) {
        ASSERT_EQ(result.targets.size(), 5u) << "200 mm at 50, both ends";
        for (std::size_t k = 0; k < 5; ++k) {
            const Eigen::Isometry3d tool = PoseOf(result.targets[k].tool);
            EXPECT_TRUE(tool.translation().isApprox(start + travel * 50.0 * static_cast<double>(k), 1e-9))
                << k << ": " << tool.translation().transpose();
            EXPECT_TRUE(tool.linear().isApprox(expected(travel), 1e-9)) << k << ":\n" << tool.linear();
        }
    }

    // Generating the first again replaces its path and targets only.
    const auto task = root->get("station/task");
    const auto names = [&](const std::string& label) {
        std::vector<std::string> found;
        for (const auto& item : task->children(label))
            found.push_back(item->valueOr<std::string>("name", std::string()));
        return found;
    };
    ASSERT_EQ(names("dataitem").size(), 4u + 10u) << "the task's four items and the two paths' targets";
    const auto again = OperationPath::Generate(root, forward, options);
    EXPECT_EQ(names("dataitem").size(), 4u + 10u);
    EXPECT_EQ(names("path").size(), 2u);
    EXPECT_NE(again.pathId, ahead.pathId);
    EXPECT_EQ(OperationPath::Find(*root, "Backward")->valueOr<unsigned int>("pathid", 0u), back.pathId);
    const auto items = names("dataitem");
    for (const auto& target : back.targets)
        EXPECT_NE(std::ranges::find(items, target.name), items.end()) << target.name;
    EXPECT_TRUE(sdf::IdCheck::Check(*root).empty());

    try {
        OperationPath::Generate(root, *OperationPath::Find(*root, "Nowhere"), options);
        ADD_FAILURE() << "an edge the face does not have";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()),
                  fmt::format("operation 'Nowhere': edge 1: body 31 (block.step): face {} has no edge 9 (it has 4)",
                              front.first));
    }
}

TEST(CadPath, ACurveBodysEdgesAreChainedIntoOneRunWithTheReferencePlanesNormal)
{
    Scratch scratch;
    // A 100 x 50 rectangle in the file's XY plane, its edges one after
    // another; the part turned a quarter about X, so that the plane's
    // normal (the part's Z) is the world's -Y.
    BRepBuilderAPI_MakePolygon outline;
    for (const auto& [x, y] : {std::pair{0.0, 0.0}, {100.0, 0.0}, {100.0, 50.0}, {0.0, 50.0}})
        outline.Add(gp_Pnt(x, y, 0));
    outline.Close();
    ASSERT_TRUE(BRepTools::Write(outline.Wire(), (scratch.dir / "outline.brep").c_str()));
    const double half = 45 * kDegree;
    std::string doc = Station("outline.brep", fmt::format("10 20 30 {} {} 0 0", std::cos(half), std::sin(half)),
                              "<operation id='40'><name>Trace</name><type>Generic</type><parent>1</parent>"
                              "<process_curveoperation><reference_plane>XY</reference_plane><curve><bodyid>31"
                              "</bodyid><reversed>false</reversed></curve></process_curveoperation>"
                              "<path_gen><speed>6</speed><zone>7</zone><workobject>5</workobject><tooldata>4"
                              "</tooldata></path_gen></operation><child>40</child>");
    doc.replace(doc.find("<file_type>step</file_type>"), 27, "<file_type>brep</file_type>");
    const auto station = sdf::SDF::ReadSdfFromString(doc);
    const auto root = station->Root();
    const auto result = OperationPath::Generate(root, *OperationPath::Find(*root, "Trace"), Options(root, scratch));

    // Once round without a break: the corners, back to the start.
    ASSERT_EQ(result.targets.size(), 5u);
    EXPECT_NEAR(result.processLength, 300, 1e-9);
    EXPECT_NEAR(result.length, 300, 1e-9) << "one row: no move off the outline";
    for (const auto& target : result.targets) {
        const Eigen::Isometry3d tool = PoseOf(target.tool);
        EXPECT_NEAR(tool.translation().y(), 20, 1e-9);
        EXPECT_TRUE(tool.linear().col(2).isApprox(Eigen::Vector3d(0, 1, 0), 1e-9)) << "into the plane, against -Y";
    }
    EXPECT_TRUE(PoseOf(result.targets.front().tool).translation().isApprox(
        PoseOf(result.targets.back().tool).translation(), 1e-9));
}

TEST(CadPath, TheSamplesCadFilesAreWhatTheBuilderMakesAndItsAngleIsAStepSolid)
{
    // Written by write_sample_station beside the station.
    const std::filesystem::path stations = std::filesystem::path(ZRV_EXAMPLES_DIR) / "stations";
    const auto files = sdf::testing::SampleCad();
    ASSERT_EQ(files.size(), 2u);
    for (const auto& [name, bytes] : files) {
        std::ifstream in(stations / name, std::ios::binary);
        EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == bytes) << name;
    }
    const cell::Geometry angle = cell::LoadGeometry(stations / "geometry/angle_200.step");
    EXPECT_EQ(angle.format, "step");
    EXPECT_EQ(angle.faces.size(), 8u);
    EXPECT_NEAR(angle.volume, 200 * (120 * 10 + 10 * 80), 1e-6);
}

} // namespace
