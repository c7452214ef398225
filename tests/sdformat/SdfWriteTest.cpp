#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>


#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <csignal>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using sdf::SDF;
using sdf::test::ExpectThrowExactly;
using sdf::test::Lines;
using sdf::test::ReadFile;
using sdf::test::TempDir;

namespace {

std::shared_ptr<SDF> StationDocument()
{
    auto doc = SDF::SpawnFromRootTemplate();
    doc->Root()->append("station");
    return doc;
}

// A station of some megabytes: parts with bodies and paths of
// instructions with annotated arguments.
std::shared_ptr<SDF> LargeStation(unsigned int parts)
{
    auto doc = StationDocument();
    auto station = doc->Root()->get("station");
    unsigned int id = 1;
    for (unsigned int p = 0; p < parts; ++p) {
        auto part = station->appendObject("part", id++, "part_" + std::to_string(p));
        part->set("pose", zrv::rob::PoseTemplate<double>{{0.1 * p, 2.0, -3.5}, {1, 0, 0, 0}});
        auto body = part->appendObject("body", id++, "body & <mesh> 'a'");
        body->set("user_file/uri", fmt::format("file:///parts/p{}.stl", p));
    }
    auto task = station->appendObject("task", id++, "Main");
    auto path = task->appendObject("path", id++, "main");
    for (unsigned int i = 0; i < parts; ++i) {
        auto instruction = path->appendObject("instruction", id++, "Movel");
        instruction->appendObject("argument", id++, "speed")->set("value", 100.5 + i);
        instruction->appendObject("argument", id++, "target")->set("value", fmt::format("p{}", i));
    }
    return doc;
}

} // namespace

// ---- the text form ------------------------------------------------------------

TEST(SdfWrite, FreshDocumentIsOneLine)
{
    EXPECT_EQ(SDF::SpawnFromRootTemplate()->Root()->toXMLString(""), "<sdf version='1.0'/>\n");
}

TEST(SdfWrite, StationDocumentLineByLine)
{
    const auto lines = Lines(StationDocument()->Root()->toXMLString(""));
    const std::vector<std::string> expected = {
        "<sdf version='1.0'>",
        "    <station id='0'>",
        "        <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>",
        "        <visibility/>",
        "    </station>",
        "</sdf>",
    };
    EXPECT_EQ(lines, expected);
    const std::string text = StationDocument()->Root()->toXMLString("");
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(SdfWrite, PrefixLeadsEveryLineOfTheSubtree)
{
    auto station = StationDocument()->Root()->get("station");
    EXPECT_EQ(station->toXMLString("  "), "  <station id='0'>\n"
                                          "      <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>\n"
                                          "      <visibility/>\n"
                                          "  </station>\n");
}

TEST(SdfWrite, EmptyContainerAndEmptyValueHaveTheirOwnForms)
{
    auto station = StationDocument()->Root()->get("station");
    EXPECT_EQ(station->get("visibility")->toXMLString(""), "<visibility/>\n");
    EXPECT_EQ(station->append("name")->toXMLString(""), "<name></name>\n");
    // A fresh object is written with its default id.
    EXPECT_EQ(station->append("view_point")->toXMLString(""), "<view_point id='0'/>\n");
}

TEST(SdfWrite, ValueOfAnElementWithChildrenIsNotWritten)
{
    auto station = SDF::ReadSdfFromString("<sdf version='1.0'><station type='int'>5</station></sdf>")
                       ->Root()
                       ->get("station");
    EXPECT_EQ(station->as<int>(), 5);
    station->append("name");
    EXPECT_EQ(Lines(station->toXMLString("")), (std::vector<std::string>{"<station id='0' type='int'>",
                                                                         "    <last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>",
                                                                         "    <visibility/>", "    <name></name>",
                                                                         "</station>"}));
}

TEST(SdfWrite, AnnotatedValueCarriesItsType)
{
    auto property = StationDocument()->Root()->get("station")->append("smart_component")->append("property");
    property->set("value", 2.5);
    EXPECT_EQ(property->get("value")->toXMLString(""), "<value type='double'>2.5</value>\n");
    property->set("value", 0.1);
    EXPECT_EQ(property->get("value")->toXMLString(""), "<value type='double'>0.1</value>\n");
}

TEST(SdfWrite, EscapesAmpersandAndLessThanEverywhereAndQuotesInAttributes)
{
    const std::string raw = "a&b<c'd\"e>f\tg\nh\xC3\xA9";
    auto doc = StationDocument();
    auto station = doc->Root()->get("station");
    station->set("name", raw);
    EXPECT_EQ(station->get("name")->toXMLString(""), "<name>a&amp;b&lt;c'd\"e>f\tg\nh\xC3\xA9</name>\n");

    doc->Root()->attributes()[0]->fromString(raw);
    const std::string text = doc->Root()->toXMLString("");
    EXPECT_EQ(Lines(text).front(), "<sdf version='a&amp;b&lt;c&apos;d\"e>f&#9;g&#10;h\xC3\xA9'>");
    // What was written is XML that gives the texts back, with the parser's
    // default normalisation of white space in attributes.
    pugi::xml_document parsed;
    ASSERT_TRUE(parsed.load_string(text.c_str()));
    EXPECT_EQ(std::string(parsed.child("sdf").attribute("version").value()), raw);
    EXPECT_EQ(std::string(parsed.child("sdf").child("station").child("name").text().get()), raw);
}

TEST(SdfWrite, CarriageReturnsAndAttributeWhiteSpaceSurviveReadingBack)
{
    const std::string raw = "line\r\nnext\rlast\tend";
    auto doc = StationDocument();
    doc->Root()->get("station")->set("name", raw);
    auto property = doc->Root()->get("station")->append("smart_component")->append("property");
    property->set("value", raw);
    const std::string written = doc->Root()->toXMLString("");
    EXPECT_EQ(written.find('\r'), std::string::npos);

    auto back = sdf::SDF::ReadSdfFromString(written);
    EXPECT_EQ(back->Root()->get("station/name")->getStringFromValue(), raw);
    EXPECT_EQ(back->Root()->get("station/smart_component/property")->getStringFromValue(), raw);
    EXPECT_EQ(back->Root()->toXMLString(""), written);
}

TEST(SdfWrite, EscapedTextsReadBackUnchanged)
{
    const std::string raw = "R&D <cell> 'A' \"B\" & more";
    auto doc = StationDocument();
    doc->Root()->get("station")->set("name", raw);
    auto property = doc->Root()->get("station")->append("smart_component")->append("property");
    property->set("value", raw);
    const std::string written = doc->Root()->toXMLString("");
    auto back = SDF::ReadSdfFromString(written);
    EXPECT_EQ(back->Root()->get("station")->asString("name"), raw);
    EXPECT_EQ(back->Root()->get("station/smart_component/property/value")->as<std::string>(), raw);
    EXPECT_EQ(back->Root()->toXMLString(""), written);
}

TEST(SdfWrite, WriteReadWriteGivesTheSameBytes)
{
    auto doc = LargeStation(20);
    auto property = doc->Root()->get("station")->append("smart_component")->append("property");
    property->set("value", std::string());
    const std::string first = doc->Root()->toXMLString("");
    const std::string second = SDF::ReadSdfFromString(first)->Root()->toXMLString("");
    EXPECT_EQ(second, first);
    EXPECT_NE(first.find("<value type='string'></value>"), std::string::npos);
}

// Large texts are written in pieces and put together at the end; texts
// of one element longer than a piece, and elements on both sides of each
// seam, must come out whole and in order.
TEST(SdfWrite, TextsLongerThanTheWritersPiecesComeOutWhole)
{
    auto doc = StationDocument();
    auto station = doc->Root()->get("station");
    std::vector<std::string> names;
    for (int i = 0; i < 40; ++i) {
        // From a few bytes to several hundred kilobytes.
        names.push_back(fmt::format("{}:", i) +
                        std::string(static_cast<std::size_t>(i % 7) * 97 * 1024, static_cast<char>('a' + i % 26)));
        station->appendObject("part", static_cast<unsigned int>(i + 1), names.back());
    }
    const std::string written = doc->Root()->toXMLString("");
    ASSERT_GT(written.size(), 8U * 1024 * 1024);

    // Checked with another reader, then by reading back.
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_buffer(written.data(), written.size()));
    std::size_t at = 0;
    for (pugi::xml_node part : xml.child("sdf").child("station").children("part")) {
        ASSERT_LT(at, names.size());
        EXPECT_EQ(part.attribute("id").as_uint(), at + 1);
        EXPECT_TRUE(part.child("name").text().get() == names[at]) << "part " << at;
        ++at;
    }
    EXPECT_EQ(at, names.size());
    EXPECT_EQ(SDF::ReadSdfFromString(written)->Root()->toXMLString(""), written);
}

// ---- files --------------------------------------------------------------------------

TEST(SdfWriteFile, FreshDocumentFileIsOneLine)
{
    TempDir dir;
    SDF::SpawnFromRootTemplate()->Write(dir / "new.sdf");
    EXPECT_EQ(ReadFile(dir / "new.sdf"), "<sdf version='1.0'/>\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"new.sdf"});
}

TEST(SdfWriteFile, NewFileGetsTheUsualPermissions)
{
    TempDir dir;
    const mode_t mask = ::umask(022);
    SDF::SpawnFromRootTemplate()->Write(dir / "new.sdf");
    ::umask(mask);
    struct stat st{};
    ASSERT_EQ(::stat((dir / "new.sdf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST(SdfWriteFile, WriteOverAnExistingFileReplacesAllOfItAndKeepsItsMode)
{
    TempDir dir;
    const auto path = dir / "cell.sdf";
    sdf::test::WriteFile(path, std::string(10000, 'x'));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    StationDocument()->Write(path);
    EXPECT_EQ(ReadFile(path), StationDocument()->Root()->toXMLString(""));
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"cell.sdf"});
}

TEST(SdfWriteFile, WriteThroughASymbolicLinkReplacesItsTarget)
{
    TempDir dir;
    sdf::test::WriteFile(dir / "real.sdf", "old");
    std::filesystem::create_symlink("real.sdf", dir / "link.sdf");
    SDF::SpawnFromRootTemplate()->Write(dir / "link.sdf");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.sdf"));
    EXPECT_EQ(ReadFile(dir / "real.sdf"), "<sdf version='1.0'/>\n");
    // A link to a file not there yet makes that file.
    std::filesystem::create_symlink("later.sdf", dir / "dangling.sdf");
    SDF::SpawnFromRootTemplate()->Write(dir / "dangling.sdf");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.sdf"));
    EXPECT_EQ(ReadFile(dir / "later.sdf"), "<sdf version='1.0'/>\n");
}

TEST(SdfWriteFile, WriteWhereNoFileCanBeMadeFailsAndCreatesNothing)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    const auto before = dir.names();
    auto doc = StationDocument();
    // Each failure names its reason.
    const std::pair<std::filesystem::path, std::string> cases[] = {
        {dir / "missing" / "cell.sdf", "write file failure (no such file or directory)"},
        {dir / "sub", "write file failure (is a directory)"},
        {dir.path() / "sub" / "", "write file failure (no file name)"},
        {std::filesystem::path(), "write file failure (no file name)"},
    };
    for (const auto& [path, message] : cases)
        ExpectThrowExactly<std::runtime_error>([&] { doc->Write(path); }, message);
    EXPECT_EQ(dir.names(), before);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "sub"));
}

// A write that runs out of room part way (here: the file-size limit of the
// process) is a failure, and the document it was to replace survives whole.
TEST(SdfWriteFile, FailurePartWayKeepsThePreviousDocument)
{
    TempDir dir;
    const auto path = dir / "cell.sdf";
    auto previous = LargeStation(3);
    previous->Write(path);
    const std::string previousText = ReadFile(path);
    auto large = LargeStation(4000);
    ASSERT_GT(large->Root()->toXMLString("").size(), 1000000u);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Past the limit write() fails with EFBIG instead of killing us.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 * 1024, 256 * 1024};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(3);
        int code = 1;
        try {
            large->Write(path);
        } catch (const std::runtime_error& e) {
            code = std::string(e.what()) == "write file failure (file too large)" ? 0 : 2;
        } catch (...) {
            code = 2;
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no failure reported, 2: another error, 3: no limit";
    EXPECT_EQ(ReadFile(path), previousText);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"cell.sdf"});
    // Without the limit the same write goes through.
    large->Write(path);
    EXPECT_EQ(ReadFile(path), large->Root()->toXMLString(""));
}
