// sdftool simulate as a script uses it: exit codes and the JSON report.
#include "SdftoolFixture.h"

#include "../cell/SimulationStation.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace sdftool::test;

namespace {

TEST_F(Sdftool, SimulateReportsCollisionsWithExitOneAndCleanRunsWithZero)
{
    cell::test::CellSpec spec;
    spec.instructions = cell::test::Move(60, "Movej", cell::test::Down(800, 0, 600)) +
                        cell::test::Move(70, "Movel", cell::test::Down(800, 0, 300));
    // Each station writes its plate's file: one directory each.
    std::filesystem::create_directory(dir / "through");
    std::ofstream(dir / "through/cell.sdf") << cell::test::StationText(dir / "through", spec);
    spec.plateZ = 200;
    std::ofstream(dir / "clear.sdf") << cell::test::StationText(dir.path(), spec);

    const ToolResult through = run({"simulate", "through/cell.sdf", "--json"});
    EXPECT_EQ(through.status, 1) << through.err;
    EXPECT_NE(through.out.find("\"kind\": \"collision\""), std::string::npos) << through.out;
    EXPECT_NE(through.out.find("\"instruction\": 70, \"robot\": 2, \"objectA\": 31, \"objectB\": 5, \"collisionSet\": 8"),
              std::string::npos)
        << through.out;
    EXPECT_NE(through.out.find("\"failed\": true"), std::string::npos);

    const ToolResult clear = run({"simulate", "clear.sdf"});
    EXPECT_EQ(clear.status, 0) << clear.err;
    EXPECT_NE(clear.out.find("path P #50 (task #40): "), std::string::npos) << clear.out;
    EXPECT_NE(clear.out.find("clean"), std::string::npos);

    // --save-state writes the automatic state into the file.
    EXPECT_EQ(run({"simulate", "clear.sdf", "--save-state"}).status, 0);
    EXPECT_NE(read("clear.sdf").find("<auto_saved>true</auto_saved>"), std::string::npos);

    const ToolResult missing = run({"simulate", "clear.sdf", "--scenario", "Nightly"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "sdftool simulate: no simulation scenario 'Nightly'\n");
    EXPECT_EQ(run({"simulate", "absent.sdf"}).status, 2);
}

} // namespace
