// Generating an operation's path into a station: edges from a feature's
// shape and vectors, targets in the work object, moves naming the task's
// data, fresh ids, reach verdicts, and regeneration that replaces only the
// operation's own path.
#include "cell/FrameMath.h"
#include "cell/OperationPath.h"

#include <sdformat/Element.h>
#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <zrvrob/RobTarget.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

using cell::OperationPath;
using cell::PathGenerator;
using cell::Vec3d;
using ElementPtr = std::shared_ptr<sdf::Element>;

class Scratch
{
public:
    Scratch()
        : dir(std::filesystem::temp_directory_path() / ("zrv-path-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(dir);
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    void write(const std::string& name, const std::string& text) const { std::ofstream(dir / name) << text; }
    std::filesystem::path dir;
};

// A task with a tool, a work object 500 mm along X and 200 mm up, two
// speeds, a zone, a taught target and a taught path; a seam feature placed
// where the work object is, so that its points read as work object
// coordinates; and the operation that follows it.
std::string Station(const std::string& feature, const std::string& operation)
{
    return "<sdf version='1.0'><station id='1'><name>Cell</name>"
           "<controller id='2'><name>C</name><task_frame>0 0 0 1 0 0 0</task_frame><parent>1</parent></controller>"
           "<child>2</child>"
           "<task id='3'><name>Main</name><controller_id>2</controller_id><parent>1</parent>"
           "<dataitem id='4'><name>gun</name><value type='tooldata'>true 0 0 100 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value>"
           "<parent>3</parent></dataitem><child>4</child>"
           "<dataitem id='5'><name>fixture</name><value type='wobjdata'>false true \"\" 500 0 200 1 0 0 0 0 0 0 1 0 0 0"
           "</value><parent>3</parent></dataitem><child>5</child>"
           "<dataitem id='6'><name>fast</name><value type='speeddata'>500 500 5000 1000</value><parent>3</parent>"
           "</dataitem><child>6</child>"
           "<dataitem id='7'><name>slow</name><value type='speeddata'>10 500 5000 1000</value><parent>3</parent>"
           "</dataitem><child>7</child>"
           "<dataitem id='8'><name>fine</name><value type='zonedata'>true 0 0 0 0 0 0</value><parent>3</parent>"
           "</dataitem><child>8</child>"
           "<dataitem id='9'><name>home</name><value type='robtarget'>0 0 500 0 0 1 0 0 0 0 0 9e+09 9e+09 9e+09 "
           "9e+09 9e+09 9e+09</value><parent>3</parent></dataitem><child>9</child>"
           "<path id='10'><name>Taught</name><parent>3</parent><instruction id='11'><name>Movej</name><parent>10</parent>"
           "<argument id='12'><name>target</name><value type='string'>home</value><parent>11</parent></argument>"
           "<child>12</child></instruction><child>11</child></path><child>10</child>"
           "</task><child>3</child>" +
           feature + operation + "<next_dataid>30</next_dataid></station></sdf>";
}

std::string Seam(const std::string& uri, const std::string& type, const std::string& vectors, double head, double tail)
{
    return "<mfg id='20'><name>Seam</name><pose>500 0 200 1 0 0 0</pose><parent>1</parent><mfgedge><geometry><uri>" +
           uri + "</uri><file_type>" + type + "</file_type></geometry>" + vectors +
           "</mfgedge><pathstart><distance>" + std::to_string(head) +
           "</distance><twist>0</twist><tilt>0</tilt></pathstart><pathend><distance>" + std::to_string(tail) +
           "</distance><twist>0</twist><tilt>0</tilt></pathend></mfg><child>20</child>";
}

const std::string kUp = "<vector><t>0</t><ijk>0 0 1</ijk><twist>0</twist><tilt>0</tilt></vector>";

std::string Operation(const std::string& gen, const std::string& more = "<approach_retract><approach_speed>6"
                                                                       "</approach_speed></approach_retract>")
{
    return "<operation id='21'><name>Seam weld</name><type>ContinuousMfg</type><parent>1</parent><mfgid>20</mfgid>"
           "<path_gen><speed>7</speed><zone>8</zone><workobject>5</workobject><tooldata>4</tooldata>" +
           gen + "</path_gen>" + more + "</operation><child>21</child>";
}

ElementPtr Named(const ElementPtr& parent, const std::string& label, const std::string& name)
{
    for (const auto& child : parent->children(label))
        if (child->valueOr<std::string>("name", std::string()) == name)
            return child;
    return nullptr;
}

zrv::rob::RobTarget TargetNamed(const ElementPtr& task, const std::string& name)
{
    const auto item = Named(task, "dataitem", name);
    EXPECT_TRUE(item) << name;
    return item ? item->as<zrv::rob::RobTarget>("value") : zrv::rob::RobTarget{};
}

std::string Argument(const ElementPtr& instruction, const std::string& name)
{
    const auto argument = Named(instruction, "argument", name);
    return argument ? argument->as<std::string>("value") : std::string("<none>");
}

void ExpectSoundIds(const sdf::Element& root)
{
    for (const auto& problem : sdf::IdCheck::Check(root))
        ADD_FAILURE() << problem.message;
}

TEST(OperationPath, FollowsTheFeatureIntoTheWorkObjectAndReplacesOnlyItsOwnPath)
{
    Scratch scratch;
    scratch.write("seam.xyz", "# seam along the fixture's X\n0 0 0\n50 0 0\n100 0 0\n");
    const auto doc = sdf::SDF::ReadSdfFromString(
        Station(Seam("seam.xyz", "xyz", kUp, 10, 20),
                Operation("<approximation_type>Constant</approximation_type><target_spacing>10</target_spacing>")));
    const auto root = doc->Root();
    const auto task = root->get("station/task");
    const auto operation = OperationPath::Find(*root, "Seam weld");
    ASSERT_TRUE(operation);
    EXPECT_EQ(OperationPath::Find(*root, "21"), operation);

    const auto first = OperationPath::Generate(root, *operation, {scratch.dir, {}, {}, {}});
    // The feature cut to 10..80 mm: 8 targets 10 mm apart, and the way in
    // and out (clearance, approach, feed) at each end.
    ASSERT_EQ(first.targets.size(), 14u);
    EXPECT_FALSE(first.judged);
    EXPECT_NEAR(first.processLength, 70, 1e-9);
    EXPECT_EQ(operation->valueOr<unsigned int>("pathid", 0u), first.pathId);
    const auto path = Named(task, "path", "Seam_weld");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->getId(false), first.pathId);
    for (std::size_t k = 0; k < 8; ++k) {
        const auto t = TargetNamed(task, first.targets[3 + k].name);
        EXPECT_NEAR(t.trans.x, 10 + 10.0 * static_cast<double>(k), 1e-9) << "in the work object";
        EXPECT_NEAR(t.trans.y, 0, 1e-9);
        EXPECT_NEAR(t.trans.z, 0, 1e-9);
    }
    EXPECT_NEAR(TargetNamed(task, first.targets[0].name).trans.z, 100, 1e-9) << "clearance above the start";

    std::vector<ElementPtr> moves;
    for (const auto& instruction : path->children("instruction"))
        moves.push_back(instruction);
    ASSERT_EQ(moves.size(), 14u);
    EXPECT_EQ(moves[0]->valueOr<std::string>("name", ""), "Movej");
    EXPECT_EQ(moves[1]->valueOr<std::string>("name", ""), "Movel");
    EXPECT_EQ(Argument(moves[0], "target"), first.targets[0].name);
    EXPECT_EQ(Argument(moves[0], "speed"), "slow") << "initial speed 0: the process speed";
    EXPECT_EQ(Argument(moves[1], "speed"), "fast") << "approach speed";
    EXPECT_EQ(Argument(moves[5], "zone"), "fine");
    EXPECT_EQ(Argument(moves[5], "tool"), "gun");
    EXPECT_EQ(Argument(moves[5], "wobj"), "fixture");
    ExpectSoundIds(*root);
    const unsigned next = root->get("station")->valueOr<unsigned int>("next_dataid", 0u);
    EXPECT_GT(next, first.pathId);

    // The taught path comes to name one of the generated targets; generating
    // again with another spacing replaces the path and the other targets.
    const auto taught = Named(task, "path", "Taught");
    const auto shared = taught->get("instruction")->appendObject("argument", next, "target2");
    shared->set<std::string>("value", first.targets[5].name);
    shared->set<unsigned int>("parent", 11);
    taught->get("instruction")->append("child")->setValue<unsigned int>(next);
    root->get("station")->set<unsigned int>("next_dataid", next + 1);
    operation->set<double>("path_gen/target_spacing", 35);
    const auto second = OperationPath::Generate(root, *operation, {scratch.dir, {}, {}, {}});
    EXPECT_EQ(second.targets.size(), 9u);
    std::size_t paths = 0, targets = 0;
    for (const auto& element : task->elements()) {
        paths += element->label() == "path";
        targets += element->label() == "dataitem" && element->get("value")->type_info() == typeid(zrv::rob::RobTarget);
    }
    EXPECT_EQ(paths, 2u);
    EXPECT_EQ(targets, 2u + 9u) << "home, the shared one, and the new ones";
    EXPECT_TRUE(Named(task, "dataitem", first.targets[5].name)) << "still named by the taught path";
    EXPECT_TRUE(Named(task, "dataitem", "home"));
    EXPECT_FALSE(Named(task, "path", "Seam_weld") && Named(task, "path", "Seam_weld")->getId(false) == first.pathId);
    EXPECT_EQ(operation->valueOr<unsigned int>("pathid", 0u), second.pathId);
    EXPECT_GE(second.pathId, next + 1) << "fresh ids past next_dataid";
    ExpectSoundIds(*root);
}

TEST(OperationPath, FeatureVectorsGiveTheNormalsAndAJudgeGivesReach)
{
    Scratch scratch;
    scratch.write("seam.xyz", "0 0 0\n100 0 0\n");
    // Twisted a quarter turn about the seam (+X): the normal turns from +Z
    // to -Y, so the tool points along +Y and backs off along -Y.
    const std::string twisted = "<vector><t>0</t><ijk>0 0 1</ijk><twist>90</twist><tilt>0</tilt></vector>";
    const auto doc = sdf::SDF::ReadSdfFromString(Station(Seam("seam.xyz", "xyz", twisted, 0, 0), Operation("")));
    const auto root = doc->Root();
    const auto operation = OperationPath::Find(*root, "21");
    std::size_t firstCalls = 0;
    const cell::ReachJudge judge = [&](const cell::RigidTransform& tool, const cell::ReachVerdict* previous) {
        firstCalls += previous == nullptr;
        cell::ReachVerdict verdict;
        verdict.status = tool.t[1] < -60 ? cell::PathReach::Unreachable : cell::PathReach::Reachable;
        verdict.configuration = {1, 0, -1, 0};
        return verdict;
    };
    const auto result = OperationPath::Generate(root, *operation, {scratch.dir, {}, judge, {}});
    ASSERT_EQ(result.targets.size(), 8u);
    EXPECT_EQ(firstCalls, 1u);
    const auto& start = result.targets[3];
    EXPECT_EQ(start.role, PathGenerator::Role::Process);
    const Vec3d z = cell::frame::AxisOf(start.tool, 2);
    EXPECT_NEAR(z[0], 0, 1e-9);
    EXPECT_NEAR(z[1], 1, 1e-9);
    EXPECT_NEAR(z[2], 0, 1e-9);
    // Clearance 100 mm back along -Y is out of reach at both ends.
    EXPECT_EQ(result.unreachable, 2u);
    EXPECT_EQ(result.targets[0].reach.status, cell::PathReach::Unreachable);
    EXPECT_EQ(result.targets[1].reach.status, cell::PathReach::Reachable);
    const auto task = root->get("station/task");
    const auto target = TargetNamed(task, start.name);
    EXPECT_EQ(target.robconf, (zrv::rob::ConfData{1, 0, -1, 0})) << "the judge's configuration is kept";
}

TEST(OperationPath, EdgesThatNeedThePartsGeometrySayItUntilItIsGiven)
{
    Scratch scratch;
    const std::string edgeOp =
        "<operation id='22'><name>Edge op</name><type>Generic</type><parent>1</parent>"
        "<process_edgeoperation><edge><bodyface><bodyid>30</bodyid><faceindex>2</faceindex></bodyface>"
        "<edgeindex>5</edgeindex><reversed>true</reversed></edge></process_edgeoperation>"
        "<path_gen><speed>7</speed><zone>8</zone><workobject>5</workobject><tooldata>4</tooldata></path_gen>"
        "</operation><child>22</child>"
        "<operation id='23'><name>Curve op</name><type>Generic</type><parent>1</parent>"
        "<process_curveoperation><reference_plane>UserSelected</reference_plane><bodyface><bodyid>31</bodyid>"
        "<faceindex>4</faceindex></bodyface><curve><bodyid>32</bodyid><reversed>false</reversed></curve>"
        "</process_curveoperation></operation><child>23</child>";
    const auto doc = sdf::SDF::ReadSdfFromString(Station(Seam("seam.brep", "brep", kUp, 0, 0), Operation("") + edgeOp));
    const auto root = doc->Root();
    const auto edgeOperation = OperationPath::Find(*root, "Edge op");
    const auto feature = OperationPath::Find(*root, "Seam weld");
    const auto message = [&](const ElementPtr& op, const OperationPath::Options& options) {
        try {
            OperationPath::Generate(root, *op, options);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(edgeOperation, {scratch.dir, {}, {}, {}}),
              "operation 'Edge op': edge 1 (body 30, face 2, edge 5) needs the part's geometry");
    EXPECT_EQ(message(feature, {scratch.dir, {}, {}, {}}), "mfg 'Seam' edge 1 (seam.brep): needs the part's geometry");
    EXPECT_FALSE(edgeOperation->exists("pathid")) << "a failed generation leaves the document";
    EXPECT_EQ(message(OperationPath::Find(*root, "23"), {scratch.dir, {}, {}, {}}),
              "operation 'Curve op': curve 1 (body 32) needs the part's geometry");

    // The geometry cache's seam: the face's edge along the work object's X.
    cell::PartGeometry geometry;
    geometry.faceEdge = [](std::uint32_t body, std::uint32_t face, std::uint32_t edge) {
        EXPECT_EQ(body, 30u);
        EXPECT_EQ(face, 2u);
        EXPECT_EQ(edge, 5u);
        cell::EdgeCurve curve;
        curve.points = {{{500, 0, 200}, {0, 0, 1}, {}}, {{600, 0, 200}, {0, 0, 1}, {}}};
        return curve;
    };
    const auto result = OperationPath::Generate(root, *edgeOperation, {scratch.dir, geometry, {}, {}});
    ASSERT_EQ(result.targets.size(), 2u);
    const auto task = root->get("station/task");
    EXPECT_NEAR(TargetNamed(task, result.targets[0].name).trans.x, 100, 1e-9) << "reversed: from the edge's end";
    EXPECT_NEAR(TargetNamed(task, result.targets[1].name).trans.x, 0, 1e-9);
    ExpectSoundIds(*root);
}

} // namespace
