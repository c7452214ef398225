// sdftool format, new, get and set: what they write and what they leave.

#include "SdftoolFixture.h"

namespace sdftool::test {
namespace {

TEST_F(Sdftool, FormatWritesTheCanonicalFormToStandardOutputAndLeavesTheFile)
{
    const auto file = copyData("cell.sdf");
    const std::string before = ReadFile(file);
    const auto r = run({"format", "cell.sdf", "-o", "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, ReadFile(DataDir() / "cell.canonical.sdf"));
    EXPECT_EQ(ReadFile(file), before);
}

TEST_F(Sdftool, FormatInPlaceAndToAnotherFile)
{
    copyData("cell.sdf");
    const std::string canonical = ReadFile(DataDir() / "cell.canonical.sdf");

    auto r = run({"format", "cell.sdf", "--output", "copy.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read("copy.sdf"), canonical);
    EXPECT_NE(read("cell.sdf"), canonical);

    r = run({"format", "cell.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("cell.sdf"), canonical);
    // The canonical form is a fixed point.
    r = run({"format", "cell.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("cell.sdf"), canonical);
}

TEST_F(Sdftool, FormatFailuresLeaveFilesAsTheyWere)
{
    const std::string broken = "<sdf version='2.0'/>";
    dir.write("broken.sdf", broken);
    auto r = run({"format", "broken.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "broken.sdf:1:1: error: wrong version\n");
    EXPECT_EQ(read("broken.sdf"), broken);

    copyData("cell.sdf");
    r = run({"format", "cell.sdf", "-o", "no-such-directory/out.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: no-such-directory/out.sdf: write file failure (no such file or directory)\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-directory"));

    r = run({"format", "missing.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "missing.sdf: error: no such file\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.sdf"));
}

TEST_F(Sdftool, NewWritesAnEmptyStationAndReplacesNothingUnasked)
{
    auto r = run({"new", "cell.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read("cell.sdf"), kNewStation);

    dir.write("mine.sdf", "precious");
    r = run({"new", "mine.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: mine.sdf: file exists (use --force to replace it)\n");
    EXPECT_EQ(read("mine.sdf"), "precious");

    r = run({"new", "--force", "mine.sdf"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("mine.sdf"), kNewStation);

    r = run({"new", "no-such-directory/new.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: no-such-directory/new.sdf: write file failure (no such file or directory)\n");
}

TEST_F(Sdftool, GetPrintsValuesByPath)
{
    copyData("cell.sdf");
    struct Case
    {
        std::string path;
        std::string value;
    };
    const Case cases[] = {
        {"station/name", "Weld cell 4"},
        {"station/part/name", "Table"},              // the first part
        {"station/part[2]/name", "Fixture"},         // the second
        {"/sdf/station/part[2]/pose", "0 0 0.8 1 0 0 0"},
        {"station/child[3]", "6"},
        {"station/smart_component/property", "250"},  // through its `value` child
        {"station/smart_component/property/value", "250"},
        {"station/attachment/pose", "0 0 0 1 0 0 0"},  // supplied by the reader
    };
    for (const auto& c : cases) {
        const auto r = run({"get", "cell.sdf", c.path});
        EXPECT_EQ(r.status, 0) << c.path << ": " << r.err;
        EXPECT_EQ(r.out, c.value + "\n") << c.path;
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Sdftool, GetFailsWhereThereIsNoValue)
{
    copyData("cell.sdf");
    struct Case
    {
        std::string path;
        std::string err;
    };
    const Case cases[] = {
        {"station/robot", "sdftool: cell.sdf: no element at 'station/robot': 'robot' matched nothing in "
                          "/sdf/station\n"},
        {"station/part[3]/name", "sdftool: cell.sdf: no element at 'station/part[3]/name': 'part[3]' matched "
                                 "nothing in /sdf/station\n"},
        {"station/frame/user_file", "sdftool: cell.sdf: no element at 'station/frame/user_file': 'user_file' "
                                    "matched nothing in /sdf/station/frame\n"},
        {"station", "sdftool: cell.sdf: 'station' has no value\n"},
        {"", "sdftool: cell.sdf: '' has no value\n"},
        {"station//name", "sdftool: cell.sdf: bad path 'station//name': empty piece\n"},
        {"station/part[0]", "sdftool: cell.sdf: bad path 'station/part[0]': 'part[0]' is not a label or "
                            "label[n] with n from 1\n"},
        {"/station/name", "sdftool: cell.sdf: bad path '/station/name': an absolute path starts at the root "
                          "'/sdf'\n"},
    };
    for (const auto& c : cases) {
        const auto r = run({"get", "cell.sdf", c.path});
        EXPECT_EQ(r.status, 1) << c.path;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(Sdftool, SetWritesThroughTheTextSetterAndSaves)
{
    copyData("cell.sdf");
    auto r = run({"set", "cell.sdf", "station/part[2]/name", "Fixture <A> & 'B'"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(run({"get", "cell.sdf", "station/part[2]/name"}).out, "Fixture <A> & 'B'\n");
    EXPECT_NE(read("cell.sdf").find("<name>Fixture &lt;A> &amp; 'B'</name>"), std::string::npos);

    // The text is read by the value's type: a pose from seven numbers, the
    // property's double through its `value` child.
    EXPECT_EQ(run({"set", "cell.sdf", "/sdf/station/frame/pose", "1 2 3 1 0 0 0"}).status, 0);
    EXPECT_EQ(run({"get", "cell.sdf", "station/frame/pose"}).out, "1 2 3 1 0 0 0\n");
    EXPECT_EQ(run({"set", "cell.sdf", "station/smart_component/property", "312.5"}).status, 0);
    EXPECT_NE(read("cell.sdf").find("<value type='double'>312.5</value>"), std::string::npos);

    // The rest of the document is as before, in canonical form.
    EXPECT_EQ(run({"validate", "--ids", "cell.sdf"}).out, "cell.sdf: ok (40 elements, 7 objects)\n");
}

TEST_F(Sdftool, SetCreatesMissingElementsFromTheFormat)
{
    dir.write("cell.sdf", kNewStation);
    EXPECT_EQ(run({"set", "cell.sdf", "station/part/name", "Table"}).status, 0);
    // The part comes with its required pose, and an id as `add` gives one.
    EXPECT_EQ(read("cell.sdf"), "<sdf version='1.0'>\n"
                                "    <station id='1'>\n"
                                "        <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>\n"
                                "        <visibility/>\n"
                                "        <next_dataid>3</next_dataid>\n"
                                "        <part id='2'>\n"
                                "            <pose>0 0 0 1 0 0 0</pose>\n"
                                "            <name>Table</name>\n"
                                "        </part>\n"
                                "    </station>\n"
                                "</sdf>\n");
}

TEST_F(Sdftool, SetGivesAUserValueItsFirstTypeOnlyWhenAsked)
{
    dir.write("cell.sdf", kNewStation);
    // A new property's value has no type yet.
    auto r = run({"set", "cell.sdf", "station/smart_component/property", "2.5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: cell.sdf: 'station/smart_component/property' has no value yet; give its type "
                     "with --type\n");
    EXPECT_EQ(read("cell.sdf"), kNewStation);

    r = run({"set", "cell.sdf", "station/smart_component/property", "2.5", "--type", "annotated"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: cell.sdf: unknown type 'annotated'\n");

    r = run({"set", "cell.sdf", "station/smart_component/property", "2.5", "--type=double"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(read("cell.sdf").find("<value type='double'>2.5</value>"), std::string::npos);

    // From now on the type stays.
    r = run({"set", "cell.sdf", "station/smart_component/property", "on", "--type", "bool"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sdftool: cell.sdf: 'station/smart_component/property' holds a 'double' value; its type "
                     "cannot change\n");
    r = run({"set", "cell.sdf", "station/smart_component/property", "7", "--type", "double"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(run({"get", "cell.sdf", "station/smart_component/property/value"}).out, "7\n");
}

TEST_F(Sdftool, SetFailuresLeaveTheFileAsItWas)
{
    copyData("cell.sdf");
    const std::string before = read("cell.sdf");
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"set", "cell.sdf", "station/robot/name", "R1"},
         "sdftool: cell.sdf: element 'station' does not have 'robot' child element\n"},
        {{"set", "cell.sdf", "station/part/user_file", "x"}, "sdftool: cell.sdf: 'station/part/user_file' cannot "
                                                             "hold a value\n"},
        {{"set", "cell.sdf", "station/part[5]/name", "x"},
         "sdftool: cell.sdf: no element at 'station/part[5]/name': 'part[5]' matched nothing in /sdf/station\n"},
        {{"set", "cell.sdf", "station/name", "x", "--type", "int"},
         "sdftool: cell.sdf: 'station/name' holds a 'string' value; its type cannot change\n"},
        {{"set", "missing.sdf", "station/name", "x"}, "missing.sdf: error: no such file\n"},
    };
    for (const auto& c : cases) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(read("cell.sdf"), before);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.sdf"));
}

// set refuses an edit that gives the station a new error, as the window
// does, unless --lenient; errors the file had already do not block edits.
// Paths may pick an element by name or start at an object id.
TEST_F(Sdftool, SetRefusesNewStationErrorsAndFindsElementsByNameAndId)
{
    copyData("cell.sdf");
    const std::string before = read("cell.sdf");
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const Case refused[] = {
        {{"set", "cell.sdf", "#4/@id", "2"},
         "sdftool: cell.sdf: cannot set '#4/@id': /sdf/station/frame: object id 2 is also used by "
         "/sdf/station/part[1] (--lenient sets it anyway)\n"},
        {{"set", "cell.sdf", "station/part[name=Fixture]/parent", "999"},
         "sdftool: cell.sdf: cannot set 'station/part[name=Fixture]/parent': /sdf/station/part[2]/parent: id 999 "
         "names no object (--lenient sets it anyway)\n"},
        {{"set", "cell.sdf", "#4/anchor", "4"},
         "sdftool: cell.sdf: cannot set '#4/anchor': /sdf/station/frame/anchor: object 4 is anchored to itself "
         "(--lenient sets it anyway)\n"},
        {{"set", "cell.sdf", "station/part[name=Tabel]/pose", "0 0 0 1 0 0 0"},
         "sdftool: cell.sdf: no element at 'station/part[name=Tabel]/pose': 'part[name=Tabel]' matched nothing in "
         "/sdf/station\n"},
        {{"set", "cell.sdf", "#40/pose", "0 0 0 1 0 0 0"},
         "sdftool: cell.sdf: no element at '#40/pose': '#40' matched nothing: no object has id 40\n"},
    };
    for (const auto& c : refused) {
        const auto r = run(c.args);
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(read("cell.sdf"), before);
    }

    EXPECT_EQ(run({"set", "cell.sdf", "station/part[name=Fixture]/pose", "0 0 1 1 0 0 0"}).status, 0);
    EXPECT_EQ(run({"get", "cell.sdf", "#3/pose"}).out, "0 0 1 1 0 0 0\n");
    const auto missing = run({"get", "cell.sdf", "station/part[name=Fixture]/user_file/uri"});
    EXPECT_EQ(missing.err, "sdftool: cell.sdf: no element at 'station/part[name=Fixture]/user_file/uri': "
                           "'user_file' matched nothing in /sdf/station/part\n");

    const auto lenient = run({"set", "cell.sdf", "station/part[2]/parent", "999", "--lenient"});
    EXPECT_EQ(lenient.status, 0) << lenient.err;
    // The dangling parent is the file's own now; other edits go on.
    EXPECT_EQ(run({"set", "cell.sdf", "station/name", "Still editable"}).status, 0);

    // A joint value beyond its joint's limits.
    ASSERT_EQ(run({"add", "cell.sdf", "station", "manipulator"}).status, 0);
    ASSERT_EQ(run({"add", "cell.sdf", "station/manipulator", "joint"}).status, 0);
    ASSERT_EQ(run({"set", "cell.sdf", "station/manipulator/joint/axis/limit/upper", "90"}).status, 0);
    const auto beyond = run({"set", "cell.sdf", "station/manipulator/joint/value", "3"});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.err, "sdftool: cell.sdf: cannot set 'station/manipulator/joint/value': "
                          "/sdf/station/manipulator/joint/value: the joint's value 3 rad (171.887°) is outside its "
                          "limits -1e+16° to 90° (--lenient sets it anyway)\n");
}

} // namespace
} // namespace sdftool::test
