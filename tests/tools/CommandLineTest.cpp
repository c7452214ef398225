// The command line itself: overview, --help of every command, usage errors.

#include "SdftoolFixture.h"

namespace sdftool::test {
namespace {

const std::vector<std::string> kCommands = {"validate", "format", "new", "get", "set", "stats", "catalogue"};

TEST_F(Sdftool, WithoutCommandPrintsOverviewAsErrorAndHelpPrintsItAsOutput)
{
    const auto bare = run({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_TRUE(bare.err.starts_with("Usage: sdftool COMMAND")) << bare.err;

    const auto help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out, bare.err);
    for (const auto& command : kCommands)
        EXPECT_NE(help.out.find("\n  " + command + " "), std::string::npos) << command;
}

TEST_F(Sdftool, EveryCommandHasHelpOnStandardOutput)
{
    for (const auto& command : kCommands) {
        for (const std::string flag : {"--help", "-h"}) {
            const auto r = run({command, flag});
            EXPECT_EQ(r.status, 0) << command;
            EXPECT_EQ(r.err, "") << command;
            EXPECT_TRUE(r.out.starts_with("Usage: sdftool " + command + " ")) << r.out;
            EXPECT_NE(r.out.find("Exit status: 0"), std::string::npos) << command;
        }
    }
}

TEST_F(Sdftool, HelpWinsOverMissingArguments)
{
    // --help anywhere shows the help, even where the arguments are incomplete.
    const auto r = run({"set", "only-a-file.sdf", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.starts_with("Usage: sdftool set FILE PATH VALUE")) << r.out;
}

TEST_F(Sdftool, WrongCommandLinesExitWithTwoAndAHint)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"frobnicate"}, "sdftool: unknown command 'frobnicate'\nTry 'sdftool --help'.\n"},
        {{"get", "a.sdf", "--bogus"}, "sdftool get: unknown option '--bogus'\nTry 'sdftool get --help'.\n"},
        {{"get", "a.sdf"}, "sdftool get: expected FILE PATH\nTry 'sdftool get --help'.\n"},
        {{"validate"}, "sdftool validate: expected at least one FILE\nTry 'sdftool validate --help'.\n"},
        {{"format", "a.sdf", "-o"}, "sdftool format: option '-o' needs a value\nTry 'sdftool format --help'.\n"},
        {{"new", "--force=yes", "a.sdf"},
         "sdftool new: option '--force' takes no value\nTry 'sdftool new --help'.\n"},
        {{"catalogue", "station", "part"},
         "sdftool catalogue: expected at most one PATH\nTry 'sdftool catalogue --help'.\n"},
        {{"stats", "-x", "a.sdf"}, "sdftool stats: unknown option '-x'\nTry 'sdftool stats --help'.\n"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 2) << c.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    // Nothing was created by the failed commands.
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(Sdftool, OutputThatCannotBeWrittenIsAFailure)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    dir.write("cell.sdf", kNewStation);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"catalogue"},
                                                 std::vector<std::string>{"format", "cell.sdf", "-o", "-"},
                                                 std::vector<std::string>{"get", "cell.sdf", "station/last_viewpoint_pose"}}) {
        const auto r = RunTool(args, dir.path(), "/dev/full");
        // Short output fails when it is flushed at the end, long output while
        // it is written; either way the status says so.
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_TRUE(r.err == "sdftool: standard output: write failure\n" ||
                    r.err == "sdftool: cannot write to file: No space left on device\n")
            << r.err;
    }
}

} // namespace
} // namespace sdftool::test
