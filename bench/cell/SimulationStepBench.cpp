// One 4 ms step of the motion simulation: a six-axis arm with a tool on a
// straight move 10 mm above a 25,088-triangle part, its inverse kinematics
// (closed form, the solution nearest the last), its links and tool moved and
// checked against the part and against each other (a self-collision set).
// The goal is 15 us a step: a 1,000-target path's cycle simulated 250 times
// faster than real time on one core. Links without mesh files are the boxes
// the 3D view draws for them; the tool is a 10 x 10 x 200 mm rod.
#include <cell/CellKinematics.h>
#include <cell/CollisionWorld.h>
#include <cell/GeometryCache.h>
#include <cell/InverseKinematics.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include "SimulationStation.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kGrid = 113; // 2 x 112 x 112 = 25,088 triangles

void WriteSurface(const std::filesystem::path& file)
{
    // A wavy sheet 400 x 400 mm round (800, 0) whose crests stay below z = 290.
    const auto point = [](int i, int j) {
        const double x = 600 + 400.0 * i / (kGrid - 1);
        const double y = -200 + 400.0 * j / (kGrid - 1);
        return fmt::format("vertex {} {} {}\n", x, y, 280 + 8 * std::sin(x / 20) * std::cos(y / 25));
    };
    std::ofstream out(file);
    out << "solid sheet\n";
    for (int i = 0; i + 1 < kGrid; ++i) {
        for (int j = 0; j + 1 < kGrid; ++j) {
            out << "facet normal 0 0 1\nouter loop\n" << point(i, j) << point(i + 1, j) << point(i + 1, j + 1)
                << "endloop\nendfacet\n";
            out << "facet normal 0 0 1\nouter loop\n" << point(i, j) << point(i + 1, j + 1) << point(i, j + 1)
                << "endloop\nendfacet\n";
        }
    }
    out << "endsolid sheet\n";
}

std::string Station()
{
    std::string text = "<sdf version='1.0'><station id='1'><manipulator id='2'><name>Arm</name>"
                       "<pose>0 0 0 1 0 0 0</pose>";
    const char* links[7] = {"0 0 0", "0 0 486.5", "150 0 0", "0 0 700", "314 0 0", "286 0 0", "65 0 0"};
    const char* axes[6] = {"0 0 1", "0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"};
    for (int i = 0; i < 7; ++i)
        text += fmt::format("<link id='{}'><pose>{} 1 0 0 0</pose></link>", 10 + i, links[i]);
    for (int i = 0; i < 6; ++i)
        text += fmt::format("<joint id='{}'><index>{}</index><value>{}</value><axis><xyz>{}</xyz><limit>"
                            "<lower>-170</lower><upper>170</upper></limit></axis></joint>",
                            20 + i, i + 1, i == 4 ? 0.5 : 0.0, axes[i]);
    text += "<wrist id='30'><parent>16</parent><pose>0 0 0 0.7071067811865476 0 0.7071067811865476 0</pose></wrist>"
            "</manipulator>"
            "<tool id='3'><name>Rod</name><tooldata><name>tRod</name>"
            "<value>true 0 0 200 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value></tooldata>"
            "<link id='31'><pose>0 0 0 1 0 0 0</pose><user_file><uri>rod.stl</uri></user_file></link></tool>"
            "<part id='5'><name>Sheet</name><pose>0 0 0 1 0 0 0</pose>"
            "<body id='6'><geometry><uri>sheet.stl</uri></geometry></body></part>"
            "<attachment id='7'><source_id>3</source_id><target_id>30</target_id><pose>0 0 0 1 0 0 0</pose>"
            "</attachment>"
            "<collisionset id='8'><name>ArmSheet</name><active>true</active><nearmiss>0</nearmiss>"
            "<groupa><object_id>2</object_id></groupa><groupb><object_id>5</object_id></groupb></collisionset>"
            "<collisionset id='9'><name>Self</name><active>true</active><nearmiss>0</nearmiss>"
            "<groupa><object_id>2</object_id></groupa><groupb><object_id>2</object_id></groupb></collisionset>"
            "</station></sdf>";
    return text;
}

void BM_SimulationStep(benchmark::State& state)
{
    const auto dir = std::filesystem::temp_directory_path() / fmt::format("zrv_step_bench_{}", ::getpid());
    std::filesystem::create_directories(dir);
    WriteSurface(dir / "sheet.stl");
    cell::test::WriteBox(dir / "rod.stl", -5, -5, 0, 5, 5, 200);
    const auto document = sdf::SDF::ReadSdfFromString(Station());
    const cell::RigidTransform tool = cell::RigidTransform::Translation({0, 0, 200});
    {
        // The arm starts where the path starts, as a run does after its
        // first move.
        const cell::CellKinematics start(document->Root());
        const cell::InverseKinematics& arm = *start.robot("Arm");
        const auto first = arm.reach(arm.flangeFor(cell::RigidTransform::FromParts({800, -150, 300}, {0, 0, 1, 0}), tool),
                                     std::nullopt, arm.robot().currentValues());
        std::size_t k = 0;
        for (const auto& joint : document->Root()->get("station/manipulator")->children("joint"))
            joint->set<double>("value", first.solutions.at(0).joints.at(k++));
    }
    const cell::CellKinematics kinematics(document->Root());
    cell::GeometryCache cache({}, 1);
    cell::CollisionWorld world(document->Root(), dir, kinematics, cache);
    const cell::InverseKinematics& ik = *kinematics.robot("Arm");
    std::vector<double> joints = ik.robot().currentValues();

    // 100 mm/s along y, 10 mm above the sheet's crests, back and forth.
    double y = -150;
    double dy = 0.4;
    std::size_t contacts = 0;
    for (auto _ : state) {
        y += dy;
        if (std::abs(y) > 150)
            dy = -dy;
        const auto tcp = cell::RigidTransform::FromParts({800, y, 300}, {0, 0, 1, 0});
        const auto found = ik.reach(ik.flangeFor(tcp, tool), std::nullopt, joints);
        if (!found.solutions.empty())
            joints = found.solutions.front().joints;
        world.move(2, joints);
        contacts += world.check().size();
    }
    state.counters["pairs"] = static_cast<double>(world.pairCount());
    state.counters["shapes"] = static_cast<double>(world.shapeCount());
    state.counters["contacts"] = static_cast<double>(contacts);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SimulationStep)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
