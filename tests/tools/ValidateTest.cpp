// sdftool validate over good, broken and unreadable files.

#include "SdftoolFixture.h"

#include <unistd.h>

namespace sdftool::test {
namespace {

TEST_F(Sdftool, ValidateReportsCountsOfASoundFile)
{
    copyData("cell.sdf");
    // 40 elements: sdf, station and 38 below; 7 objects: the station, two
    // parts, the frame, the attachment, the smart component and its property.
    for (const auto& args : {std::vector<std::string>{"validate", "cell.sdf"},
                                                std::vector<std::string>{"validate", "--ids", "cell.sdf"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "cell.sdf: ok (40 elements, 7 objects)\n");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(Sdftool, ValidateReportsTheLibrarysMessageForEachBrokenFileWithItsPlace)
{
    struct Case
    {
        std::string name;
        std::string text;
        std::string place;   // ":LINE:COLUMN" where the reader stopped, or empty
        std::string message;
    };
    const Case cases[] = {
        {"not-xml.sdf", "<sdf version='1.0'>\n<station>", ":2:9", "read sdf file failed: Start-end tags mismatch"},
        {"empty.sdf", "", "", "empty file"},
        {"other-root.sdf", "<station/>", "", "ReadDoc error"},
        {"no-version.sdf", "<sdf/>", ":1:1", "no version"},
        {"wrong-version.sdf", "<sdf version='1.0 '/>", ":1:1", "wrong version"},
        {"unknown-attribute.sdf", "<sdf version='1.0'><station colour='red'/></sdf>", ":1:20",
         "unknown attribute 'colour' in element 'station'"},
        {"unknown-child.sdf", "<sdf version='1.0'>\n  <station>\n    <name>a</name><robot/>\n  </station>\n</sdf>",
         ":3:19", "element 'station' does not have 'robot' child element"},
        {"text-in-container.sdf", "<sdf version='1.0'><station>x<name>a</name></station></sdf>", ":1:20",
         "element 'station' cannot have a value"},
        {"missing-required-attribute.sdf",
         "<sdf version='1.0'><station><smart_component><connection/></smart_component></station></sdf>", ":1:46",
         "required attribute 'id' not exist"},
    };
    std::vector<std::string> args{"validate"};
    std::string expectedErr;
    for (const auto& c : cases) {
        dir.write(c.name, c.text);
        args.push_back(c.name);
        const std::string line = c.name + c.place + ": error: " + c.message + "\n";
        expectedErr += line;

        const auto one = run({"validate", c.name});
        EXPECT_EQ(one.status, 1) << c.name;
        EXPECT_EQ(one.out, "");
        EXPECT_EQ(one.err, line);
    }
    // All at once: each file is reported, in order, and the status says one
    // failed.
    const auto all = run(args);
    EXPECT_EQ(all.status, 1);
    EXPECT_EQ(all.out, "");
    EXPECT_EQ(all.err, expectedErr);
}

TEST_F(Sdftool, ValidateGoesOnAfterAFailureAndFailsAsAWhole)
{
    copyData("cell.sdf");
    std::filesystem::create_directory(dir / "a-directory.sdf");
    const auto r = run({"validate", "missing.sdf", "cell.sdf", "a-directory.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "cell.sdf: ok (40 elements, 7 objects)\n");
    EXPECT_EQ(r.err, "missing.sdf: error: no such file\na-directory.sdf: error: not a regular file (a directory)\n");
}

TEST_F(Sdftool, ValidateReportsAFileItMayNotRead)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root reads files whatever their mode; the directory case covers unreadable paths";
    dir.write("locked.sdf", kNewStation);
    std::filesystem::permissions(dir / "locked.sdf", std::filesystem::perms::none);
    const auto r = run({"validate", "locked.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "locked.sdf: error: permission denied\n");
}

// A station with every kind of id problem next to sound references.
const std::string kIdTrouble = R"(<sdf version='1.0'>
  <station id='1'>
    <child>2</child>
    <child>40</child>
    <part id='2'><parent>1</parent></part>
    <part id='2'><parent>0</parent></part>
    <part id='3'><parent>9</parent></part>
    <part><name>not yet numbered</name></part>
    <part><name>not yet numbered either</name></part>
    <frame id='4'><anchor>0</anchor></frame>
    <collisionset id='5'>
      <groupa><object_id>3</object_id></groupa>
      <groupb><object_id>77</object_id></groupb>
    </collisionset>
    <simulation>
      <state id='8'>
        <attachment><id>500</id><source_id>2</source_id><target_id>88</target_id></attachment>
      </state>
    </simulation>
    <smart_component id='6'><role_object type='string'>left</role_object></smart_component>
    <visibility><objectid>66</objectid></visibility>
    <frame id='1'/>
  </station>
</sdf>
)";

TEST_F(Sdftool, ValidateIdsReportsEachProblemWithItsPathInDocumentOrder)
{
    dir.write("ids.sdf", kIdTrouble);
    // Reading alone passes.
    EXPECT_EQ(run({"validate", "ids.sdf", "--quick"}).status, 0);

    const auto r = run({"validate", "ids.sdf", "--ids"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // Parts without an id (0) are no objects to clash; a saved attachment's
    // own number is not an object id; 0 names nothing and is fine.
    EXPECT_EQ(r.err,
              "ids.sdf:4:5: error: /sdf/station/child[2]: id 40 names no object\n"
              "ids.sdf:6:5: error: /sdf/station/part[2]: object id 2 is also used by /sdf/station/part[1]\n"
              "ids.sdf:7:18: error: /sdf/station/part[3]/parent: id 9 names no object\n"
              "ids.sdf:8:5: error: /sdf/station/part[4]: object has id 0, which names no object\n"
              "ids.sdf:9:5: error: /sdf/station/part[5]: object has id 0, which names no object\n"
              "ids.sdf:9:5: error: /sdf/station/part[5]: object id 0 is also used by /sdf/station/part[4]\n"
              "ids.sdf:13:15: error: /sdf/station/collisionset/groupb/object_id: id 77 names no object\n"
              "ids.sdf:17:57: error: /sdf/station/simulation/state/attachment/target_id: id 88 names no object\n"
              "ids.sdf:20:29: error: /sdf/station/smart_component/role_object: holds a 'string' value, not an object "
              "id\n"
              "ids.sdf:21:17: error: /sdf/station/visibility/objectid: id 66 names no object\n"
              "ids.sdf:22:5: error: /sdf/station/frame[2]: object id 1 is also used by /sdf/station\n");
}

TEST_F(Sdftool, ValidateIdsChecksEveryFile)
{
    copyData("cell.sdf");
    dir.write("dangling.sdf", "<sdf version='1.0'><station id='1'><frame id='2'><anchor>3</anchor></frame>"
                              "</station></sdf>");
    const auto r = run({"validate", "--ids", "dangling.sdf", "cell.sdf"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "cell.sdf: ok (40 elements, 7 objects)\n");
    EXPECT_EQ(r.err, "dangling.sdf:1:50: error: /sdf/station/frame/anchor: id 3 names no object\n");
}

} // namespace
} // namespace sdftool::test
