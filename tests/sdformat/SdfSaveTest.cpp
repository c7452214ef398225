// How SDF::Write treats the files users really have: permissions, owners,
// links, devices, pipes, long names, the file-size limit. Cases that depend
// on who writes run in a child process, as the unprivileged user 65534 when
// the tests run as root.
#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>
#include <sdformat/WriteInProgress.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using sdf::SDF;
using sdf::test::ExpectThrowExactly;
using sdf::test::ReadFile;
using sdf::test::TempDir;
using sdf::test::WriteFile;

namespace {

constexpr uid_t kNobody = 65534;

std::shared_ptr<SDF> Station(const std::string& name)
{
    auto doc = SDF::SpawnFromRootTemplate();
    doc->Root()->append("station")->set("name", name);
    return doc;
}

std::string Text(const std::shared_ptr<SDF>& doc)
{
    return doc->Root()->toXMLString("");
}

// What a write in a child reports: "" or what went wrong.
std::string WriteError(const std::shared_ptr<SDF>& doc, const std::filesystem::path& path)
{
    try {
        doc->Write(path);
        return "";
    } catch (const std::exception& e) {
        return e.what();
    }
}

// Runs check in a forked child (as user 65534 when we are root and
// unprivileged is asked for) and returns what it returned, or how the
// child ended if it did not return.
std::string InChild(bool unprivileged, const std::function<std::string()>& check)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        std::string message;
        if (unprivileged && ::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            message = "cannot become user 65534";
        } else {
            try {
                message = check();
            } catch (const std::exception& e) {
                message = std::string("unexpected: ") + e.what();
            }
        }
        [[maybe_unused]] const auto written = ::write(channel[1], message.data(), message.size());
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string message;
    char buffer[4096];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status))
        return "child ended by signal " + std::to_string(WTERMSIG(status)) + " " + message;
    return message;
}

// Makes path belong to the user the children run as.
void GiveToChild(const std::filesystem::path& path)
{
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
}

struct stat Stat(const std::filesystem::path& path)
{
    struct stat st{};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st;
}

} // namespace

TEST(SdfSave, PermissionIsWhatOpeningForWritingSays)
{
    TempDir dir;
    GiveToChild(dir.path());
    const auto locked = dir / "locked.sdf";
    WriteFile(locked, "old locked");
    GiveToChild(locked);
    ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
    // A file the user may write, in a directory where they may not create.
    const auto shut = dir / "shut";
    std::filesystem::create_directory(shut);
    const auto open = shut / "open.sdf";
    WriteFile(open, "old open, somewhat longer than the new text will be " + std::string(500, '.'));
    GiveToChild(shut);
    GiveToChild(open);
    ASSERT_EQ(::chmod(shut.c_str(), 0555), 0);
    const ino_t openInode = Stat(open).st_ino;
    const auto doc = Station("permitted");

    EXPECT_EQ(InChild(true, [&] {
        if (const auto error = WriteError(doc, locked); error != "write file failure (permission denied)")
            return "locked file: " + error;
        return WriteError(doc, open);
    }), "");
    EXPECT_EQ(ReadFile(locked), "old locked");
    EXPECT_EQ(ReadFile(open), Text(doc));
    EXPECT_EQ(Stat(open).st_ino, openInode);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"locked.sdf", "shut"}));
    ASSERT_EQ(::chmod(shut.c_str(), 0755), 0);
    EXPECT_EQ(std::vector<std::string>{"open.sdf"}, [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(shut))
            names.push_back(entry.path().filename());
        return names;
    }());

    // The administrator may open any file for writing, so may save it; it
    // keeps its mode.
    if (::geteuid() == 0) {
        doc->Write(locked);
        EXPECT_EQ(ReadFile(locked), Text(doc));
        EXPECT_EQ(Stat(locked).st_mode & 07777, 0444u);
    }
}

TEST(SdfSave, OwnerGroupAndModeStayWhoeverSaves)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "files of another owner can only be made by root";
    TempDir dir;
    GiveToChild(dir.path());
    // Root saving a user's file: replaced, and still the user's.
    const auto users = dir / "users.sdf";
    WriteFile(users, "old");
    GiveToChild(users);
    ASSERT_EQ(::chmod(users.c_str(), 0640), 0);
    const auto doc = Station("kept");
    doc->Write(users);
    EXPECT_EQ(ReadFile(users), Text(doc));
    EXPECT_EQ(Stat(users).st_uid, kNobody);
    EXPECT_EQ(Stat(users).st_gid, static_cast<gid_t>(kNobody));
    EXPECT_EQ(Stat(users).st_mode & 07777, 0640u);

    // A user saving root's world-writable file cannot give a new file
    // root's name: the file is written in place and stays root's.
    const auto roots = dir / "roots.sdf";
    WriteFile(roots, std::string(3000, 'r'));
    ASSERT_EQ(::chmod(roots.c_str(), 0666), 0);
    const ino_t inode = Stat(roots).st_ino;
    EXPECT_EQ(InChild(true, [&] { return WriteError(doc, roots); }), "");
    EXPECT_EQ(ReadFile(roots), Text(doc));
    EXPECT_EQ(Stat(roots).st_uid, 0u);
    EXPECT_EQ(Stat(roots).st_ino, inode);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"roots.sdf", "users.sdf"}));
}

TEST(SdfSave, HardLinksAndSymbolicLinksStayWhatTheyAre)
{
    TempDir dir;
    const auto doc = Station("linked");

    const auto first = dir / "first.sdf";
    const auto second = dir / "second.sdf";
    WriteFile(first, std::string(4000, 'o'));
    std::filesystem::create_hard_link(first, second);
    doc->Write(first);
    EXPECT_EQ(ReadFile(second), Text(doc));
    EXPECT_EQ(Stat(first).st_ino, Stat(second).st_ino);
    EXPECT_EQ(Stat(first).st_nlink, 2u);

    // Through two links to the file at the end: the links stay links.
    WriteFile(dir / "real.sdf", "old");
    std::filesystem::create_symlink("real.sdf", dir / "near.sdf");
    std::filesystem::create_symlink(dir / "near.sdf", dir / "far.sdf");
    doc->Write(dir / "far.sdf");
    EXPECT_EQ(ReadFile(dir / "real.sdf"), Text(doc));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "near.sdf"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "far.sdf"));

    // A loop names no file.
    std::filesystem::create_symlink("loop-b.sdf", dir / "loop-a.sdf");
    std::filesystem::create_symlink("loop-a.sdf", dir / "loop-b.sdf");
    ExpectThrowExactly<std::runtime_error>([&] { doc->Write(dir / "loop-a.sdf"); },
                                           "write file failure (too many levels of symbolic links)");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop-a.sdf"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "loop-b.sdf"));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"far.sdf", "first.sdf", "loop-a.sdf", "loop-b.sdf", "near.sdf",
                                                     "real.sdf", "second.sdf"}));
}

TEST(SdfSave, DevicesPipesAndTheProcesssOwnStreamsAreWrittenAsStreams)
{
    TempDir dir;
    const auto doc = Station(std::string(200000, 'p'));
    doc->Write("/dev/null");

    // A pipe with a reader gets the whole text; one without fails at once.
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ExpectThrowExactly<std::runtime_error>([&] { doc->Write(fifo); }, "write file failure (no such device or address)");
    std::string received;
    std::thread reader([&] { received = ReadFile(fifo); });
    // The reader may not have opened its end yet.
    for (int attempt = 0; attempt < 2000; ++attempt) {
        if (WriteError(doc, fifo).empty())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_EQ(received, Text(doc));

    // A reader that goes away part-way is a failure, not the end of the
    // process (SIGPIPE keeps its default action here).
    EXPECT_EQ(InChild(false, [&] {
        std::signal(SIGPIPE, SIG_DFL);
        const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        std::thread quitter([fd] {
            char some[100];
            std::size_t got = 0;
            while (got < sizeof some) {
                const ssize_t n = ::read(fd, some, sizeof some - got);
                if (n > 0)
                    got += static_cast<std::size_t>(n);
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            ::close(fd);
        });
        auto error = WriteError(doc, fifo);
        quitter.join();
        sigset_t pending;
        sigpending(&pending);
        if (sigismember(&pending, SIGPIPE))
            error += ", SIGPIPE left pending";
        return error == "write file failure (broken pipe)" ? std::string() : "reader gone: " + error;
    }), "");

    // Standard output sent to a file: the text comes after what was printed
    // and before what is printed next, as if printed itself.
    const auto out = dir / "out.txt";
    EXPECT_EQ(InChild(false, [&] {
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0)
            return std::string("no standard output");
        std::fputs("before\n", stdout);
        if (auto error = WriteError(doc, "/dev/stdout"); !error.empty())
            return error;
        std::fputs("after\n", stdout);
        std::fflush(stdout);
        return std::string();
    }), "");
    EXPECT_TRUE(ReadFile(out) == "before\n" + Text(doc) + "after\n");
}

TEST(SdfSave, LongNamesFitTheNameLimit)
{
    TempDir dir;
    const auto doc = Station("long");
    const std::string longest(NAME_MAX, 'n');
    doc->Write(dir / longest);
    WriteFile(dir / longest, "old");
    doc->Write(dir / longest);
    EXPECT_EQ(ReadFile(dir / longest), Text(doc));
    // Two-byte characters: the temporary name is cut between characters.
    std::string accents;
    while (accents.size() + 2 <= NAME_MAX)
        accents += "\xC3\xA9";
    doc->Write(dir / accents);
    doc->Write(dir / accents);
    EXPECT_EQ(ReadFile(dir / accents), Text(doc));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{longest, accents}));
}

// Past the file-size limit the kernel raises SIGXFSZ, whose default action
// ends the process. A write there is a failure like any other: reported,
// the old file kept, nothing left behind, the signal gone.
TEST(SdfSave, FileSizeLimitIsAReportedFailureWithDefaultSignals)
{
    TempDir dir;
    const auto large = Station(std::string(600 * 1024, 'L'));
    const auto small = Station("small");
    const auto replaced = dir / "replaced.sdf";
    const auto linked = dir / "linked.sdf";
    small->Write(replaced);
    small->Write(linked);
    std::filesystem::create_hard_link(linked, dir / "other-name.sdf");
    const auto before = dir.names();

    EXPECT_EQ(InChild(false, [&] {
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{256 * 1024, 256 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return std::string("no limit");
        std::string errors;
        for (const auto& path : {dir / "new.sdf", replaced, linked}) {
            if (auto error = WriteError(large, path); error != "write file failure (file too large)")
                errors += path.filename().string() + ": \"" + error + "\" ";
        }
        sigset_t pending, mask;
        sigpending(&pending);
        pthread_sigmask(SIG_SETMASK, nullptr, &mask);
        if (sigismember(&pending, SIGXFSZ) || sigismember(&mask, SIGXFSZ))
            errors += "SIGXFSZ left pending or blocked";
        return errors;
    }), "");
    EXPECT_EQ(ReadFile(replaced), Text(small));
    EXPECT_EQ(ReadFile(linked), Text(small));
    EXPECT_EQ(Stat(linked).st_nlink, 2u);
    EXPECT_EQ(dir.names(), before);
}

// What a signal handler undoes: the announced temporary file goes, and a
// file written in place gets its old contents back, also after it was
// already cut to a shorter new length.
TEST(SdfSave, UndoWritesInProgressRemovesAndPutsBack)
{
    TempDir dir;
    const std::string temporary = (dir / ".cell.sdf.saving-abc123").string();
    const std::string old = "the old contents, longer than the new";
    WriteFile(dir / "cell.sdf", old);
    const int fd = ::open((dir / "cell.sdf").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    {
        sdf::detail::WriteInProgress renaming;
        renaming.temporaryFile(temporary.c_str());
        WriteFile(temporary, "half");
        sdf::detail::WriteInProgress inPlace;
        inPlace.inPlace(fd, 0, old);
        inPlace.mayTouch(3);
        ASSERT_EQ(::pwrite(fd, "new", 3, 0), 3);
        ASSERT_EQ(::ftruncate(fd, 3), 0);
        SDF::UndoWritesInProgress();
    }
    ::close(fd);
    EXPECT_EQ(ReadFile(dir / "cell.sdf"), old);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"cell.sdf"});
    // Finished writes are not undone.
    SDF::UndoWritesInProgress();
    EXPECT_EQ(ReadFile(dir / "cell.sdf"), old);
}
