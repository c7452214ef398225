// A station's robots, tools and work objects as program targets find them,
// and the status each target gets.
#include "cell/CellKinematics.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

namespace {

using cell::CellKinematics;
using cell::ReachStatus;

// An arm placed 1000 mm along y, a torch whose tool data is tilted, a
// controller naming the arm (its task frame 100 mm up), and a task with
// `task`'s fields and one path of `moves`.
std::shared_ptr<sdf::SDF> Station(const std::string& task, const std::string& moves)
{
    std::string text = "<sdf version='1.0'><station id='1'><manipulator id='2'><name>Arm</name>"
                       "<pose>0 1000 0 1 0 0 0</pose>";
    const char* links[7] = {"0 0 0", "0 0 486.5", "150 0 0", "0 0 700", "314 0 0", "286 0 0", "65 0 0"};
    const char* axes[6] = {"0 0 1", "0 1 0", "0 1 0", "1 0 0", "0 1 0", "1 0 0"};
    for (int i = 0; i < 7; ++i)
        text += fmt::format("<link id='{}'><pose>{} 1 0 0 0</pose></link>", 10 + i, links[i]);
    for (int i = 0; i < 6; ++i)
        text += fmt::format("<joint id='{}'><index>{}</index><axis><xyz>{}</xyz><limit><lower>-170</lower>"
                            "<upper>170</upper></limit></axis></joint>",
                            20 + i, i + 1, axes[i]);
    text += "<wrist id='30'><parent>16</parent><pose>0 0 0 0.7071067811865476 0 0.7071067811865476 0</pose></wrist>"
            "</manipulator>"
            "<tool id='3'><name>Torch</name><tooldata><name>tTorch</name>"
            "<value>true 0 0 200 0.9659258262890683 0 0.2588190451025207 0 1 0 0 0 1 0 0 0 0 0 0</value></tooldata>"
            "<tooldata><name>tLoose</name><value>false 0 0 0 1 0 0 0 1 0 0 0 1 0 0 0 0 0 0</value></tooldata></tool>"
            "<controller id='4'><manipulator>2</manipulator><task_frame>0 0 100 1 0 0 0</task_frame></controller>"
            "<task id='40'>" + task +
            "<dataitem id='41'><name>pAbove</name>"
            "<value type='robtarget'>850 1000 900 0 0 1 0 0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9</value></dataitem>"
            "<dataitem id='42'><name>onUnit</name>"
            "<value type='wobjdata'>false false \"UNIT1\" 0 0 0 1 0 0 0 0 0 0 1 0 0 0</value></dataitem>"
            "<path id='50'><name>P</name>";
    // `moves` holds the first instruction's arguments and may close it and
    // open further ones.
    text += fmt::format("<instruction id='60'><name>Move</name>{}</instruction>", moves);
    return sdf::SDF::ReadSdfFromString(text + "</path></task></station></sdf>");
}

std::string Argument(int id, const std::string& name, const std::string& type, const std::string& value)
{
    return fmt::format("<argument id='{}'><name>{}</name><value type='{}'>{}</value></argument>", id, name, type, value);
}

TEST(CellKinematics, FindsRobotsByIdOrNameAndToolsAsProgramsDo)
{
    const auto document = Station("", "");
    const CellKinematics cell(document->Root());
    ASSERT_NE(cell.robot("Arm"), nullptr);
    EXPECT_EQ(cell.robot("2"), cell.robot("Arm"));
    EXPECT_EQ(cell.robot("3"), nullptr);
    // The arm's place in the cell is its pose.
    EXPECT_DOUBLE_EQ(cell.robot("Arm")->robot().base().t[1], 1000);
    // By tool data name, and by tool name (its first tool data).
    ASSERT_TRUE(cell.toolFrame("tTorch"));
    EXPECT_DOUBLE_EQ(cell.toolFrame("Torch")->t[2], 200);
    EXPECT_NEAR(cell.toolFrame("Torch")->q[2], 0.2588190451025207, 1e-12);
    EXPECT_FALSE(cell.toolFrame("tNone"));
    EXPECT_THROW(cell.toolFrame("tLoose"), std::invalid_argument);
}

TEST(CellKinematics, EveryTargetGetsAStatusWithItsReason)
{
    // The first move: the flange straight down above the robot's front, the
    // target named through a data item, no tool. Its task names no wrist:
    // the controller's manipulator is the robot.
    const std::string moves =
        Argument(61, "A", "string", "pAbove") + Argument(62, "B", "string", "v100") +
        "</instruction><instruction id='70'><name>Move</name>" +
        Argument(71, "A", "string", "pAbove") + Argument(72, "T", "string", "tLoose") +
        "</instruction><instruction id='80'><name>Move</name>" +
        Argument(81, "A", "string", "pAbove") + Argument(82, "Where", "string", "onUnit") +
        "</instruction><instruction id='90'><name>Move</name>" +
        Argument(91, "A", "string", "pAbove") + Argument(92, "MyTool", "string", "tGone") +
        "</instruction><instruction id='100'><name>Move</name>" +
        Argument(101, "A", "robtarget", "850 1000 900 0 0 1 0 0 0 0 4 9e9 9e9 9e9 9e9 9e9 9e9") +
        Argument(102, "B", "robtarget", "5000 1000 900 0 0 1 0 0 0 0 0 9e9 9e9 9e9 9e9 9e9 9e9");
    const auto document = Station("<controller_id>4</controller_id>", moves);
    const auto all = CellKinematics(document->Root()).reachAll();
    ASSERT_EQ(all.size(), 6U);
    EXPECT_EQ(all[0].status, ReachStatus::Reachable) << all[0].reason;
    EXPECT_EQ(all[0].robot, 2U);
    EXPECT_EQ(all[0].argument, "A");
    // In the task frame, 100 mm up.
    EXPECT_DOUBLE_EQ(all[0].world.t[2], 1000);
    ASSERT_EQ(all[0].joints.size(), 6U);
    EXPECT_NEAR(all[0].joints[0], 0, 1e-9);
    EXPECT_EQ(all[1].reason, "tool 'tLoose' is not held by the robot");
    EXPECT_EQ(all[2].reason, "work object 'onUnit' is moved by mechanical unit 'UNIT1'");
    EXPECT_EQ(all[3].reason, "no tool 'tGone'");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(all[static_cast<std::size_t>(i)].status, ReachStatus::CannotJudge);
    // The same pose asked for in the other wrist branch without turning
    // axes 4 and 6 (which that branch needs), then out of reach.
    EXPECT_EQ(all[4].status, ReachStatus::NotInConfiguration);
    EXPECT_EQ(all[4].reason, "no solution in configuration [0, 0, 0, 4]; the nearest is [0, 0, 0, 0]");
    EXPECT_EQ(all[5].status, ReachStatus::OutOfReach);

    // Without controller or wrist there is no robot to judge by.
    const auto orphan = Station("", Argument(61, "A", "string", "pAbove"));
    const auto lone = CellKinematics(orphan->Root()).reachAll();
    ASSERT_EQ(lone.size(), 1U);
    EXPECT_EQ(lone[0].status, ReachStatus::CannotJudge);
    EXPECT_EQ(lone[0].reason, "no robot found for the task");
}

} // namespace
