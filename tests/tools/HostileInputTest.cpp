// sdftool at the edges: endless devices, bytes that are not UTF-8, edits
// that would leave a file the tool cannot read back, and documents that go
// to standard output beside the tool's own messages.

#include "SdftoolFixture.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>
#include <sdformat/Utf8Char.h>

#include <cstdlib>

namespace sdftool::test {
namespace {

bool IsUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto c = sdf::Utf8Char::At(text, at);
        if (c.length == 0)
            return false;
        at += c.length;
    }
    return true;
}

TEST_F(Sdftool, EndlessOrBinaryStreamsAreRefusedAtOnce)
{
    copyData("cell.sdf");
    const auto validate = run({"validate", "/dev/zero"});
    EXPECT_EQ(validate.status, 1);
    EXPECT_EQ(validate.err, "/dev/zero: error: not a text document (a NUL byte at offset 0)\n");
    const auto diff = run({"diff", "/dev/zero", "cell.sdf"});
    EXPECT_EQ(diff.status, 2);
    EXPECT_EQ(diff.err, "/dev/zero: error: not a text document (a NUL byte at offset 0)\n");
}

TEST_F(Sdftool, NothingIsWrittenThatCannotBeReadBack)
{
    copyData("cell.sdf");
    const std::string before = read("cell.sdf");
    struct Case
    {
        std::string path;
        std::string value;
        std::string err;
    };
    const Case cases[] = {
        {"/sdf/@version", "2.0", "sdftool: cell.sdf: '/sdf/@version' can only be 1.0, the version of the format this "
                                 "tool reads\n"},
        {"/sdf/@version", " 1.0", "sdftool: cell.sdf: '/sdf/@version' can only be 1.0, the version of the format "
                                  "this tool reads\n"},
        {"station/name", "a\xef\xbf\xbe", "sdftool: cell.sdf: cannot set 'station/name': 'string' cannot hold "
                                          "'a\xef\xbf\xbe': it holds U+FFFE, which XML cannot carry\n"},
        {"station/name", "a\xed\xa0\x80", "sdftool: cell.sdf: cannot set 'station/name': 'string' cannot hold "
                                          "'a\xed\xa0\x80': it holds U+D800, a surrogate, which XML cannot carry\n"},
    };
    for (const auto& c : cases) {
        const auto r = run({"set", "cell.sdf", c.path, c.value});
        EXPECT_EQ(r.status, 1) << c.value;
        EXPECT_EQ(r.err, c.err);
    }
    // Leniency reads the value as the reader would, but the writer still
    // refuses what XML cannot carry, naming the element.
    const auto lenient = run({"set", "cell.sdf", "station/name", "a\xff", "--lenient"});
    EXPECT_EQ(lenient.status, 1);
    EXPECT_EQ(lenient.err,
              "sdftool: cell.sdf: cannot write '/sdf/station/name': its value holds the byte 0xFF, which is not UTF-8\n");
    EXPECT_EQ(read("cell.sdf"), before);
}

TEST_F(Sdftool, JsonIsUtf8WhateverBytesTheInputHolds)
{
    const std::string name = "bad\xff\xfe.sdf";
    dir.write(name, "<sdf version='1.0'><station id='1'><name>caf\xe9</name><part id='2'><parent>7\xc3</parent></part>"
                    "</station></sdf>");
    dir.write("other.sdf", "<sdf version='1.0'><station id='1'><name>caf\xc3\xa9</name></station></sdf>");
    for (const std::vector<std::string>& args : {std::vector<std::string>{"validate", "--json", name},
                                                 std::vector<std::string>{"get", "--json", name, "station/name"},
                                                 std::vector<std::string>{"diff", "--json", "other.sdf", name}}) {
        const auto r = run(args);
        EXPECT_TRUE(IsUtf8(r.out)) << r.out;
        EXPECT_NE(r.out.find("\xef\xbf\xbd"), std::string::npos) << r.out;
        EXPECT_NE(r.err.find("sdftool: note: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("not UTF-8"), std::string::npos) << r.err;
    }
    const auto clean = run({"stats", "--json", name});
    EXPECT_EQ(clean.err, "");
}

TEST_F(Sdftool, AddGivesRequiredObjectsIdsAndKeepsTheDocumentApartFromTheId)
{
    ASSERT_EQ(run({"new", "cell.sdf"}).status, 0);
    const auto added = run({"add", "cell.sdf", "station", "manipulator", "--name", "Arm"});
    EXPECT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out, "2\n");
    const auto doc = sdf::SDF::ReadSdfFromFile(dir / "cell.sdf");
    const auto arm = doc->Root()->get("station/manipulator");
    ASSERT_TRUE(arm);
    EXPECT_EQ(arm->get("wrist")->getId(false), 3u);
    EXPECT_EQ(doc->Root()->get("station")->valueOr<unsigned int>("next_dataid", 0u), 4u);
    EXPECT_EQ(run({"validate", "cell.sdf"}).status, 0);

    // Standard input to standard output: the document alone on standard
    // output, the id on standard error.
    const std::string command = "cd '" + dir.path().string() + "' && '" + SDFTOOL_PATH +
                                "' add - station part < cell.sdf > out.sdf 2> id.txt";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(read("id.txt"), "4\n");
    EXPECT_TRUE(read("out.sdf").ends_with("</sdf>\n")) << read("out.sdf");
    EXPECT_EQ(sdf::SDF::ReadSdfFromString(read("out.sdf"))->Root()->get("station/part")->getId(false), 4u);
}

} // namespace
} // namespace sdftool::test
