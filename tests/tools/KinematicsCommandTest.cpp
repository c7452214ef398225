// sdftool fk, ik and reach as scripts use them: random round trips on the
// generated robots, statuses and exit codes.
#include "SdftoolFixture.h"

#include <StationGenerator.h>

#include <sdformat/Element.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <sstream>

using namespace sdftool::test;

namespace {

std::vector<double> Numbers(const std::string& line)
{
    std::istringstream in(line);
    std::vector<double> values;
    double v = 0;
    while (in >> v)
        values.push_back(v);
    return values;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST_F(Sdftool, ForwardThenInverseGivesTheJointsBackOnEveryGeneratedRobot)
{
    sdf::testing::GeneratorOptions options;
    options.robots = 6;
    // Small: each run reads the whole file.
    options.pathsPerTask = 1;
    options.instructionsPerPath = 1;
    options.partsPerRobot = 0;
    options.operationsPerTask = 0;
    const auto root = sdf::testing::GenerateStation(options);
    dir.write("cell.sdf", root->toXMLString(""));
    std::mt19937 random(5);
    for (const auto& robot : root->get("station")->children("manipulator")) {
        std::vector<std::pair<double, double>> limits;
        for (const auto& joint : robot->children("joint"))
            limits.emplace_back(joint->valueOr<double>("axis/limit/lower", 0) * std::numbers::pi / 180,
                                joint->valueOr<double>("axis/limit/upper", 0) * std::numbers::pi / 180);
        for (int sample = 0; sample < 2; ++sample) {
            // By name for one, by id for the next.
            std::vector<std::string> fk{"fk", "cell.sdf",
                                        sample % 2 ? std::to_string(robot->getId()) : robot->valueOr<std::string>("name", "")};
            std::vector<double> joints;
            for (const auto& [lo, hi] : limits) {
                joints.push_back(std::uniform_real_distribution<double>(lo, hi)(random));
                fk.push_back(fmt::format("{}", joints.back()));
            }
            const auto pose = run(fk);
            ASSERT_EQ(pose.status, 0) << pose.err;
            const std::vector<double> p = Numbers(pose.out);
            ASSERT_EQ(p.size(), 7U) << pose.out;
            std::vector<std::string> ik{"ik", "cell.sdf", std::to_string(robot->getId())};
            for (const double v : p)
                ik.push_back(fmt::format("{}", v));
            const auto answer = run(ik);
            ASSERT_EQ(answer.status, 0) << answer.out << answer.err;
            bool found = false;
            for (const std::string& line : Lines(answer.out)) {
                const std::vector<double> q = Numbers(line.substr(0, line.find(" conf ")));
                ASSERT_EQ(q.size(), 6U) << line;
                double apart = 0;
                for (std::size_t k = 0; k < 6; ++k)
                    apart = std::max(apart, std::abs(q[k] - joints[k]));
                found = found || apart < 1e-6;
            }
            EXPECT_TRUE(found) << answer.out;
        }
    }
}

// An arm with a tool data item and one path: a target the arm reaches (at
// the flange pose of joints 0 0 0 0 0.5 0, in the work object), one far
// away, one in a work object that is not there.
std::string ReachStation(const std::string& reachable)
{
    std::string text = "<sdf version='1.0'><station id='1'><manipulator id='2'><name>Arm</name>";
    const char* links[7] = {"0 0 0", "0 0 486.5", "150 0 0", "0 0 700", "314 0 0", "286 0 0", "65 0 0"};
    const char* axes[6] = {"0 0 1", "0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"};
    for (int i = 0; i < 7; ++i)
        text += fmt::format("<link id='{}'><pose>{} 1 0 0 0</pose></link>", 10 + i, links[i]);
    for (int i = 0; i < 6; ++i)
        text += fmt::format("<joint id='{}'><index>{}</index><axis><xyz>{}</xyz><limit><lower>-170</lower>"
                            "<upper>170</upper></limit></axis></joint>",
                            20 + i, i + 1, axes[i]);
    text += "<wrist id='30'><parent>16</parent><pose>0 0 0 0.7071067811865476 0 0.7071067811865476 0</pose></wrist>"
            "</manipulator><task id='40'><wrist_id>30</wrist_id>"
            "<dataitem id='41'><name>tPen</name><value type='tooldata'>true 0 0 100 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value></dataitem>"
            "<dataitem id='42'><name>wobjTable</name><value type='wobjdata'>false true \"\" 500 0 0 1 0 0 0 0 0 0 1 0 0 0</value></dataitem>"
            "<path id='50'><name>Seam</name>";
    const auto move = [&text](int id, const std::string& target, const std::string& wobj) {
        text += fmt::format("<instruction id='{}'><name>MoveL</name>"
                            "<argument id='{}'><name>Target</name><value type='robtarget'>{}</value></argument>"
                            "<argument id='{}'><name>Tool</name><value type='string'>tPen</value></argument>"
                            "<argument id='{}'><name>WorkObject</name><value type='string'>{}</value></argument>"
                            "</instruction>",
                            id, id + 1, target, id + 2, id + 3, wobj);
    };
    move(60, reachable, "wobjTable");
    move(70, "9000 0 0 1 0 0 0 0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9", "wobjTable");
    move(80, reachable, "wobjGone");
    return text + "</path></task></station></sdf>";
}

TEST_F(Sdftool, ReachGivesEveryTargetItsStatusAndIkItsExitCodes)
{
    dir.write("arm.sdf", ReachStation("0 0 0 1 0 0 0 0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9"));
    // The tool centre point for joints 0 0 0 0 0.5 0, then as seen from the
    // work object 500 mm along x.
    const auto pose = run({"fk", "arm.sdf", "Arm", "0", "0", "0", "0", "0.5", "0", "--tool", "tPen"});
    ASSERT_EQ(pose.status, 0) << pose.err;
    std::vector<double> p = Numbers(pose.out);
    ASSERT_EQ(p.size(), 7U);
    p[0] -= 500;
    std::string target;
    for (const double v : p)
        target += fmt::format("{} ", v);
    // In configuration cf1 0, cf4 0, cf6 0, cfx 0.
    dir.write("arm.sdf", ReachStation(target + "0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9"));

    const auto reach = run({"reach", "arm.sdf"});
    EXPECT_EQ(reach.status, 1) << reach.err;
    EXPECT_EQ(reach.out, "Seam MoveL #60 Target: reachable\n"
                         "Seam MoveL #70 Target: out of reach (no joint values give this pose)\n"
                         "Seam MoveL #80 Target: cannot be judged (no work object 'wobjGone')\n");
    const auto json = run({"reach", "arm.sdf", "--json"});
    EXPECT_NE(json.out.find("\"reachable\": 1, \"total\": 3}"), std::string::npos) << json.out;

    // The same pose in the world through ik: the first solution is the
    // document's joints' nearest, 0 0 0 0 0.5 0.
    std::vector<std::string> ik{"ik", "arm.sdf", "2"};
    for (const double v : Numbers(pose.out))
        ik.push_back(fmt::format("{}", v));
    ik.insert(ik.end(), {"--tool", "tPen"});
    const auto answer = run(ik);
    ASSERT_EQ(answer.status, 0) << answer.err;
    const std::vector<double> first = Numbers(Lines(answer.out).front().substr(0, Lines(answer.out).front().find(" conf")));
    const std::vector<double> expected{0, 0, 0, 0, 0.5, 0};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_NEAR(first[k], expected[k], 1e-9);
    EXPECT_NE(Lines(answer.out).front().find(" conf 0 0 0 0"), std::string::npos) << answer.out;

    const auto far = run({"ik", "arm.sdf", "Arm", "9000", "0", "0", "1", "0", "0", "0"});
    EXPECT_EQ(far.status, 1);
    EXPECT_EQ(far.out, "out of reach: no joint values give this pose\n");
    EXPECT_EQ(run({"ik", "arm.sdf", "Robot", "0", "0", "0", "1", "0", "0", "0"}).status, 2);
    EXPECT_EQ(run({"ik", "missing.sdf", "Arm", "0", "0", "0", "1", "0", "0", "0"}).status, 2);
    EXPECT_EQ(run({"fk", "arm.sdf", "Arm", "0", "0", "0"}).status, 2);
    EXPECT_EQ(run({"fk", "arm.sdf", "Arm", "0", "0", "0", "0", "0", "0", "--tool", "tNone"}).status, 2);
}

} // namespace
