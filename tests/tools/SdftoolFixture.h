#pragma once

#include "ToolRunner.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace sdftool::test {

// Each test runs the tool in a scratch directory of its own, so the file
// names in its messages are the short relative names the test passed.
class Sdftool : public ::testing::Test
{
protected:
    ToolResult run(const std::vector<std::string>& args) const { return RunTool(args, dir.path()); }

    // Copies a file of tests/tools/data into the scratch directory.
    std::filesystem::path copyData(const std::string& name) const
    {
        const auto to = dir / name;
        std::filesystem::copy_file(DataDir() / name, to);
        return to;
    }

    std::string read(const std::string& name) const { return ReadFile(dir / name); }

    ScratchDir dir;
};

// The document `sdftool new` writes: the root, an empty station with an id
// of its own, the station's required children and the next id.
inline const std::string kNewStation = "<sdf version='1.0'>\n"
                                       "    <station id='1'>\n"
                                       "        <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>\n"
                                       "        <visibility/>\n"
                                       "        <next_dataid>2</next_dataid>\n"
                                       "    </station>\n"
                                       "</sdf>\n";

} // namespace sdftool::test
