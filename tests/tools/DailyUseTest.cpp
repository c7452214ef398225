// sdftool as people use it in a shell or a CI job: edits that refuse what
// is not a value, objects with real ids, errors with a place, streams,
// machine-readable output and comparing stations.

#include "SdftoolFixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <thread>

namespace sdftool::test {
namespace {

TEST_F(Sdftool, SetRefusesTextThatIsNotAValueOfTheFieldsTypeAndLeavesTheFile)
{
    copyData("cell.sdf");
    const std::string before = read("cell.sdf");
    struct Case
    {
        std::string path, value, err;
    };
    const Case cases[] = {
        {"station/part/pose", "abc", "'pose' cannot hold 'abc': it has 1 number, not 7"},
        {"station/part/pose", "1 2", "'pose' cannot hold '1 2': it has 2 numbers, not 7"},
        {"station/part/pose", "1e999 0 0 1 0 0 0",
         "'pose' cannot hold '1e999 0 0 1 0 0 0': '1e999' (number 1) is out of range"},
        {"station/frame/anchor", "nan", "'unsigned int' cannot hold 'nan': it is not a whole number"},
        {"station/frame/anchor", "inf", "'unsigned int' cannot hold 'inf': it is not a whole number"},
        {"station/frame/anchor", "-1", "'unsigned int' cannot hold '-1': it is negative"},
        {"station/@id", "abc", "'unsigned int' cannot hold 'abc': it is not a whole number"},
    };
    for (const auto& c : cases) {
        const auto r = run({"set", "cell.sdf", c.path, c.value});
        EXPECT_EQ(r.status, 1) << c.value;
        EXPECT_EQ(r.err, "sdftool: cell.sdf: cannot set '" + c.path + "': " + c.err + "\n");
        EXPECT_EQ(read("cell.sdf"), before);
    }

    // Scripts that rely on the reader's rule keep it on request.
    EXPECT_EQ(run({"set", "cell.sdf", "station/part/pose", "abc", "--lenient"}).status, 0);
    EXPECT_EQ(run({"get", "cell.sdf", "station/part/pose"}).out, "0 0 0 1 0 0 0\n");

    // Values that begin with '-' are values, with or without "--"; what the
    // document keeps other than typed is said.
    auto r = run({"set", "cell.sdf", "station/part/pose", "-1.23456789 0 0 1 0 0 0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "sdftool: note: cell.sdf: 'station/part/pose' is stored as '-1.23457 0 0 1 0 0 0' (rounded to 6 "
                     "significant digits)\n");
    EXPECT_EQ(run({"set", "cell.sdf", "--", "station/part[2]/pose", "-2 0 0 1 0 0 0"}).status, 0);
    EXPECT_EQ(run({"get", "cell.sdf", "station/part[2]/pose"}).out, "-2 0 0 1 0 0 0\n");
}

TEST_F(Sdftool, NewAndAddMakeAStationWhoseIdsAreSound)
{
    ASSERT_EQ(run({"new", "c.sdf"}).status, 0);
    auto r = run({"add", "c.sdf", "station", "part", "--name", "Table"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2\n");
    EXPECT_EQ(run({"add", "c.sdf", "station", "frame", "--name", "-corner"}).out, "3\n");
    EXPECT_EQ(run({"get", "c.sdf", "station/frame/@id"}).out, "3\n");
    EXPECT_EQ(run({"get", "c.sdf", "station/frame/name"}).out, "-corner\n");
    EXPECT_EQ(run({"get", "c.sdf", "station/frame/parent"}).out, "1\n");
    EXPECT_EQ(run({"get", "c.sdf", "station/child[2]"}).out, "3\n");
    EXPECT_EQ(run({"get", "c.sdf", "station/next_dataid"}).out, "4\n");
    r = run({"validate", "--ids", "c.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "c.sdf: ok (16 elements, 3 objects)\n");

    // An id set by hand is kept ahead of, too.
    // (leniently: the station's child list still names the old id).
    EXPECT_EQ(run({"set", "c.sdf", "station/part/@id", "40", "--lenient"}).status, 0);
    EXPECT_EQ(run({"add", "c.sdf", "station", "part"}).out, "41\n");

    r = run({"add", "c.sdf", "station", "visibility"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: c.sdf: 'visibility' is not an object (objects have an id, a name, a parent and a "
                     "child list)\n");
}

TEST_F(Sdftool, ValidateIdsReportsIdZeroTextsThatReadAlikeAndDisagreeingFamilies)
{
    dir.write("ids.sdf", R"(<sdf version='1.0'>
  <station id='1'>
    <child>2</child>
    <child>3</child>
    <part id='abc'/>
    <part id='0'/>
    <part id='2'><parent>1</parent></part>
    <part id='3'><parent>2</parent></part>
    <assembly id='4'><parent>1</parent><child>2</child></assembly>
  </station>
</sdf>
)");
    const auto r = run({"validate", "--ids", "ids.sdf"});
    EXPECT_EQ(r.status, 1);
    // Each with its place; the id text "abc" is also a value the reader
    // takes as 0.
    EXPECT_EQ(r.err, "ids.sdf:4:5: error: /sdf/station/child[2]: lists object 3 as a child, but its parent is 2\n"
                     "ids.sdf:5:5: error: /sdf/station/part[1]: object has id 0, which names no object\n"
                     "ids.sdf:5:15: error: /sdf/station/part[1]/@id: 'unsigned int' cannot hold 'abc': it is not a "
                     "whole number; it reads as '0'\n"
                     "ids.sdf:6:5: error: /sdf/station/part[2]: object has id 0, which names no object\n"
                     "ids.sdf:6:5: error: /sdf/station/part[2]: object id 0 is also used by /sdf/station/part[1]\n"
                     "ids.sdf:9:40: error: /sdf/station/assembly/child: object 2 is also listed as a child at "
                     "/sdf/station/child[1]\n"
                     "ids.sdf:9:40: error: /sdf/station/assembly/child: lists object 2 as a child, but its parent "
                     "is 1\n");

    const auto json = run({"validate", "--ids", "--json", "ids.sdf"});
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.err, "");
    EXPECT_NE(json.out.find("{\"kind\": \"listed-twice\", \"severity\": \"error\", \"message\": \"object 2 is also "
                            "listed as a child at /sdf/station/child[1]\", \"paths\": [\"/sdf/station/assembly/child\", "
                            "\"/sdf/station/child[1]\"], \"ids\": [2, 4, 1], \"object\": 4, \"line\": 9, \"column\": 40}"),
              std::string::npos)
        << json.out;
}

TEST_F(Sdftool, ReadingTellsApartWhatStopsItBeforeParsing)
{
    dir.write("empty.sdf", "");
    std::filesystem::create_directory(dir / "dir.sdf");
    const auto r = run({"validate", "missing.sdf", "empty.sdf", "dir.sdf", "/dev/null"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing.sdf: error: no such file\n"
                     "empty.sdf: error: empty file\n"
                     "dir.sdf: error: not a regular file (a directory)\n"
                     "/dev/null: error: empty file\n");
}

// Runs sdftool as the unprivileged user `nobody` (when the tests run as
// root) and returns its exit status and standard error.
std::pair<int, std::string> runAsNobody(const std::vector<std::string>& args, const std::filesystem::path& cwd)
{
    const std::string errFile = cwd.string() + ".nobody.err";
    const pid_t pid = fork();
    if (pid == 0) {
        const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err < 0 || dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(120);
        std::vector<std::string> store{SDFTOOL_PATH};
        store.insert(store.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : store)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::string err = ReadFile(errFile);
    std::filesystem::remove(errFile);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

TEST_F(Sdftool, AFileTheUserMayNotReadIsPermissionDenied)
{
    copyData("cell.sdf");
    std::filesystem::permissions(dir / "cell.sdf", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    if (geteuid() != 0) {
        std::filesystem::permissions(dir / "cell.sdf", std::filesystem::perms::none);
        const auto r = run({"validate", "cell.sdf"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "cell.sdf: error: permission denied\n");
        return;
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
    const auto [status, err] = runAsNobody({"validate", "cell.sdf"}, dir.path());
    ASSERT_NE(status, 120) << "cannot become nobody";
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "cell.sdf: error: permission denied\n");
}

TEST_F(Sdftool, PipesAndStandardInputAreReadAsAWholeStream)
{
    // A FIFO with a writer that feeds it in pieces, as process
    // substitution does; the station is larger than a pipe's buffer.
    const std::string station = ReadFile(std::filesystem::path(ZRV_EXAMPLES_DIR) / "stations/sample_cell.sdf");
    ASSERT_GT(station.size(), 4096u);
    ASSERT_EQ(mkfifo((dir / "pipe.sdf").c_str(), 0600), 0);
    std::thread writer([&] {
        const int fd = open((dir / "pipe.sdf").c_str(), O_WRONLY);
        for (std::size_t at = 0; fd >= 0 && at < station.size(); at += 1000)
            if (write(fd, station.data() + at, std::min<std::size_t>(1000, station.size() - at)) < 0)
                break;
        close(fd);
    });
    const auto r = run({"stats", "pipe.sdf"});
    writer.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, run({"stats", std::string(ZRV_EXAMPLES_DIR) + "/stations/sample_cell.sdf"}).out);

    // "-" is standard input; set then works as a filter.
    copyData("cell.sdf");
    const std::string command = "cd '" + dir.path().string() + "' && '" + SDFTOOL_PATH +
                                "' set - station/name Filtered < cell.sdf | '" + SDFTOOL_PATH +
                                "' get - station/name 2>&1";
    FILE* out = popen(command.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char buffer[256] = {};
    const std::size_t got = fread(buffer, 1, sizeof buffer - 1, out);
    EXPECT_EQ(pclose(out), 0);
    EXPECT_EQ(std::string(buffer, got), "Filtered\n");
}

TEST_F(Sdftool, VersionAndJsonForMachines)
{
    auto r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("sdftool [0-9]+\\.[0-9]+\\.[0-9]+ \\(station format 1\\.0\\)\n")))
        << r.out;

    copyData("cell.sdf");
    dir.write("broken.sdf", "<sdf version='1.0'>\n  <station>\n    <bogus/>\n  </station>\n</sdf>\n");
    r = run({"validate", "--json", "cell.sdf", "broken.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "{\"ok\": false, \"files\": [{\"file\": \"cell.sdf\", \"ok\": true, \"elements\": 40, "
                     "\"objects\": 7, \"problems\": []}, {\"file\": \"broken.sdf\", \"ok\": false, \"problems\": "
                     "[{\"kind\": \"read\", \"severity\": \"error\", \"message\": \"element 'station' does not have "
                     "'bogus' child element\", "
                     "\"line\": 3, \"column\": 5}]}]}\n");

    r = run({"get", "--json", "cell.sdf", "station/smart_component/property"});
    EXPECT_EQ(r.out, "{\"path\": \"station/smart_component/property\", \"type\": \"double\", \"value\": \"250\"}\n");

    dir.write("new.sdf", kNewStation);
    r = run({"stats", "new.sdf", "--json"});
    EXPECT_EQ(r.out, "{\"elements\": 5, \"objects\": 1, \"largestId\": 1, \"byLabel\": {\"last_viewpoint_pose\": 1, "
                     "\"next_dataid\": 1, \"sdf\": 1, \"station\": 1, \"visibility\": 1}, \"byDepth\": [1, 1, 3]}\n");
}

TEST_F(Sdftool, DiffComparesStationsByObjectId)
{
    copyData("cell.sdf");
    std::filesystem::copy_file(dir / "cell.sdf", dir / "b.sdf");
    auto r = run({"diff", "cell.sdf", "b.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");

    ASSERT_EQ(run({"set", "b.sdf", "station/part/pose", "2 0 0 1 0 0 0"}).status, 0);
    // Moving the fixture leaves the table's child list behind: only leniently.
    ASSERT_EQ(run({"set", "b.sdf", "station/part[2]/parent", "1", "--lenient"}).status, 0);
    ASSERT_EQ(run({"add", "b.sdf", "station", "frame", "--name", "Corner 2"}).status, 0);
    r = run({"diff", "cell.sdf", "b.sdf"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "added frame 9 'Corner 2' at /sdf/station/frame[2]\n"
                     "moved part 3 'Fixture': parent 2 -> 1\n"
                     "changed /sdf/station/child[4]: (none) -> '9'\n"
                     "changed /sdf/station/next_dataid: '9' -> '10'\n"
                     "changed /sdf/station/part[1]/pose: '1 0 0 1 0 0 0' -> '2 0 0 1 0 0 0'\n"
                     "changed /sdf/station/part[2]/parent: '2' -> '1'\n");

    r = run({"diff", "--json", "b.sdf", "cell.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"removed\": [{\"id\": 9, \"label\": \"frame\", \"name\": \"Corner 2\", \"path\": "
                         "\"/sdf/station/frame[2]\"}]"),
              std::string::npos)
        << r.out;

    // As git's diff driver: git's seven arguments, success whatever differs.
    r = run({"diff", "--git", "cell.sdf", "/dev/null", "0000000", "100644", "cell.sdf", "abcdef0", "100644"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n', r.out.find('\n') + 1) + 1),
              "sdftool diff a/cell.sdf b/cell.sdf\nadded station 1 'Weld cell 4' at /sdf/station\n");

    r = run({"diff", "cell.sdf", "missing.sdf"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "missing.sdf: error: no such file\n");
}

} // namespace
} // namespace sdftool::test
