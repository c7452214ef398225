// sdftool saving large stations when the process is interrupted or runs
// into the file-size limit: nothing is left behind, the station on disk is
// the old one or the new one, whole.
#include "ToolRunner.h"

#include <StationGenerator.h>
#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

using namespace sdftool::test;

namespace {

// A generated station of some megabytes, written once per test program.
const std::string& LargeStationText()
{
    static const std::string text = [] {
        auto root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(120000));
        return root->toXMLString("");
    }();
    return text;
}

// Starts sdftool in cwd with its output in files beside cwd, under a
// file-size limit of limitBytes if not 0.
pid_t StartTool(const std::vector<std::string>& args, const std::filesystem::path& cwd, rlim_t limitBytes = 0)
{
    std::vector<std::string> store{SDFTOOL_PATH};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : store)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    const std::string out = cwd.string() + ".out";
    const std::string err = cwd.string() + ".err";
    const pid_t child = ::fork();
    if (child == 0) {
        const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const rlimit limit{limitBytes, limitBytes};
        if (outFd < 0 || errFd < 0 || ::dup2(outFd, 1) < 0 || ::dup2(errFd, 2) < 0 || ::chdir(cwd.c_str()) != 0 ||
            (limitBytes != 0 && ::setrlimit(RLIMIT_FSIZE, &limit) != 0))
            ::_exit(99);
        ::execv(argv[0], argv.data());
        ::_exit(98);
    }
    return child;
}

struct Finished
{
    int status = -1; // exit status, or minus the signal that ended the tool
    std::string err;
};

Finished Wait(pid_t child, const std::filesystem::path& cwd)
{
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Finished finished{WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ReadFile(cwd.string() + ".err")};
    std::filesystem::remove(cwd.string() + ".out");
    std::filesystem::remove(cwd.string() + ".err");
    return finished;
}

std::vector<std::string> Names(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(SdftoolSave, FileSizeLimitIsAReportedFailure)
{
    ScratchDir dir;
    const auto station = dir.write("big.sdf", LargeStationText());
    const rlim_t limit = LargeStationText().size() / 2;

    const Finished format = Wait(StartTool({"format", "big.sdf"}, dir.path(), limit), dir.path());
    EXPECT_EQ(format.status, 1);
    EXPECT_EQ(format.err, "sdftool: big.sdf: write file failure (file too large)\n");
    EXPECT_TRUE(ReadFile(station) == LargeStationText());
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"big.sdf"});

    // Printing past the limit fails like any other output.
    const Finished print = Wait(StartTool({"format", "big.sdf", "-o", "-"}, dir.path(), limit), dir.path());
    EXPECT_EQ(print.status, 1);
    EXPECT_EQ(print.err, "sdftool: standard output: write failure\n");
}

// SIGINT or SIGTERM at the moment the save starts writing: the tool ends
// with 130 or 143 and leaves the old station and nothing else, whether the
// save went through a temporary file or into the file itself (a file with
// a second link). Timing decides whether a run is caught mid-save; runs
// that finished first must have saved the whole new station, and some run
// of each kind must have been caught.
TEST(SdftoolSave, InterruptedSaveLeavesTheOldStationAndNoTemporaryFile)
{
    const std::regex temporary(R"(\.big\.sdf\.saving-[A-Za-z0-9]{6})");
    for (const bool inPlace : {false, true}) {
        for (const int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(std::string(inPlace ? "in place, " : "by rename, ") + strsignal(signal));
            bool caught = false;
            for (int attempt = 0; attempt < 8 && !caught; ++attempt) {
                ScratchDir dir;
                const auto station = dir.write("big.sdf", LargeStationText());
                if (inPlace)
                    std::filesystem::create_hard_link(station, dir / "other.sdf");
                const auto before = Names(dir.path());

                // The save's first step on disk, seen as it happens.
                const int watch = ::inotify_init1(IN_CLOEXEC);
                ASSERT_GE(watch, 0);
                ASSERT_GE(::inotify_add_watch(watch, (inPlace ? station : dir.path()).c_str(),
                                              inPlace ? IN_MODIFY : IN_CREATE),
                          0);
                const pid_t tool = StartTool({"set", "big.sdf", "station/name", "renamed"}, dir.path());
                alignas(inotify_event) char events[4096];
                std::string seen;
                for (bool waiting = true; waiting;) {
                    const ssize_t got = ::read(watch, events, sizeof events);
                    ASSERT_GT(got, 0);
                    for (ssize_t at = 0; at < got;) {
                        const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                        seen = event->len > 0 ? event->name : "big.sdf";
                        waiting = false;
                        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                    }
                }
                ::kill(tool, signal);
                ::close(watch);
                const int status = Wait(tool, dir.path()).status;
                if (!inPlace) {
                    EXPECT_TRUE(std::regex_match(seen, temporary)) << seen;
                }

                // Interrupted before the save was through: the old station;
                // after: the new one. Never a mixture, never debris.
                EXPECT_EQ(Names(dir.path()), before);
                const std::string after = ReadFile(station);
                const bool old = after == LargeStationText();
                EXPECT_TRUE(status == 0 || status == 128 + signal) << status;
                if (status == 0 || !old) {
                    EXPECT_NE(after.find("<name>renamed</name>"), std::string::npos) << "neither old nor new";
                    EXPECT_EQ(sdf::SDF::ReadSdfFromString(after)->Root()->get("station")->asString("name"), "renamed");
                }
                if (inPlace) {
                    EXPECT_TRUE(ReadFile(dir / "other.sdf") == after);
                }
                caught = caught || (status == 128 + signal && old);
            }
            EXPECT_TRUE(caught) << "no run was interrupted while saving";
        }
    }
}

// A signal that arrives once the new station has replaced the old one
// finds the save done: the tool ends as it would have, not as interrupted.
TEST(SdftoolSave, InterruptAfterTheRenameLeavesTheSaveDone)
{
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(signal));
        ScratchDir dir;
        const auto station = dir.write("big.sdf", LargeStationText());
        const auto before = Names(dir.path());
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_MOVED_TO), 0);
        const pid_t tool = StartTool({"set", "big.sdf", "station/name", "renamed"}, dir.path());
        alignas(inotify_event) char events[4096];
        for (bool waiting = true; waiting;) {
            const ssize_t got = ::read(watch, events, sizeof events);
            ASSERT_GT(got, 0);
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(events + at);
                waiting = waiting && !(event->len > 0 && std::string(event->name) == "big.sdf");
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        ::kill(tool, signal);
        ::close(watch);
        const Finished finished = Wait(tool, dir.path());
        EXPECT_EQ(finished.status, 0) << finished.err;
        EXPECT_EQ(Names(dir.path()), before);
        EXPECT_EQ(sdf::SDF::ReadSdfFromString(ReadFile(station))->Root()->get("station")->asString("name"), "renamed");
    }
}
