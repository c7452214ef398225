// Whatever a document holds either comes back from its file as it was
// written, or is refused before any file is touched.

#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/SDF.h>
#include <sdformat/Vec3Template.h>

#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

using sdf::SDF;
using sdf::test::ExpectThrowExactly;
using sdf::test::ReadFile;
using sdf::test::TempDir;
using Pose = zrv::rob::PoseTemplate<double>;
using Vec3 = zrv::rob::Vec3Template<double>;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// NaNs compare unequal even to themselves; the bits tell, sign included.
bool Same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::shared_ptr<SDF> StationDocument()
{
    auto doc = SDF::SpawnFromRootTemplate();
    doc->Root()->append("station");
    return doc;
}

} // namespace

TEST(WrittenValues, InfinitiesAndNaNsComeBackFromTheFileAsWritten)
{
    auto doc = StationDocument();
    auto station = doc->Root()->get("station");
    station->appendObject("part", 1, "p")->set("pose", Pose{{1, kNaN, 3}, {0.5, 0.5, 0.5, 0.5}});
    auto task = station->appendObject("task", 2, "T");
    const double doubles[] = {kInf, -kInf, kNaN, -kNaN, 2.5};
    for (const double d : doubles)
        task->append("dataitem")->set("value", d);
    task->append("dataitem")->set("value", Vec3{-kInf, -kNaN, 7});
    zrv::rob::ZoneData zone;
    zone.pzone_tcp = kInf;
    zone.zone_ori = -kNaN;
    task->append("dataitem")->set("value", zone);

    TempDir dir;
    doc->Write(dir / "cell.sdf");
    const std::string written = ReadFile(dir / "cell.sdf");
    EXPECT_NE(written.find(">1 nan 3 0.5 0.5 0.5 0.5</pose>"), std::string::npos) << written;
    const auto back = SDF::ReadSdfFromFile(dir / "cell.sdf");
    EXPECT_EQ(back->Root()->toXMLString(""), written);

    auto readStation = back->Root()->get("station");
    const auto pose = readStation->get("part")->as<Pose>("pose");
    EXPECT_EQ(pose.pos.x, 1);
    EXPECT_TRUE(std::isnan(pose.pos.y));
    EXPECT_EQ(pose.pos.z, 3);
    EXPECT_EQ(pose.orient.w, 0.5);
    EXPECT_EQ(pose.orient.z, 0.5);
    std::vector<std::shared_ptr<sdf::Element>> items;
    for (const auto& item : readStation->get("task")->children("dataitem"))
        items.push_back(item);
    ASSERT_EQ(items.size(), std::size(doubles) + 2);
    for (std::size_t i = 0; i < std::size(doubles); ++i)
        EXPECT_TRUE(Same(items[i]->as<double>("value"), doubles[i])) << i;
    const auto vec = items[std::size(doubles)]->as<Vec3>("value");
    EXPECT_TRUE(Same(vec.x, -kInf) && Same(vec.y, -kNaN) && vec.z == 7);
    const auto readZone = items.back()->as<zrv::rob::ZoneData>("value");
    EXPECT_TRUE(Same(readZone.pzone_tcp, kInf) && Same(readZone.zone_ori, -kNaN));
}

// A control character other than tab, line feed and carriage return has no
// form in XML 1.0, not even as a character reference: a file holding one
// could never be read again, so nothing is written at all.
TEST(WrittenValues, TextsXmlCannotCarryAreRefusedAndNothingIsReplaced)
{
    TempDir dir;
    const auto path = dir / "cell.sdf";
    sdf::test::WriteFile(path, "previous");
    for (const char c : {'\0', '\x01', '\x08', '\x0b', '\x0c', '\x1f'}) {
        auto doc = StationDocument();
        auto station = doc->Root()->get("station");
        station->set<std::string>("name", std::string("a") + c + "b");
        const std::string message = fmt::format(
            "cannot write '/sdf/station/name': its value holds U+{:04X}, which XML cannot carry",
            static_cast<unsigned>(c));
        ExpectThrowExactly<std::runtime_error>([&] { doc->Root()->toXMLString(""); }, message);
        ExpectThrowExactly<std::runtime_error>([&] { station->toXMLString("  "); }, message);
        ExpectThrowExactly<std::runtime_error>([&] { doc->Write(path); }, message);
    }
    // The first such text in writing order is named, wherever it lies,
    // also inside a robot record.
    {
        auto doc = StationDocument();
        auto task = doc->Root()->get("station")->appendObject("task", 7, "T");
        task->appendObject("dataitem", 8, "zoneExact");
        zrv::rob::WObjData wobj;
        wobj.ufmec = std::string("unit\x1b");
        task->appendObject("dataitem", 9, "wobj")->set("value", wobj);
        task->appendObject("dataitem", 10, std::string(1, '\0'));
        ExpectThrowExactly<std::runtime_error>(
            [&] { doc->Write(path); },
            "cannot write '/sdf/station/task/dataitem/value': its value holds U+001B, which XML cannot carry");
    }
    // Beyond the control characters: the two non-characters, encoded
    // surrogates and bytes that are not UTF-8, which readers reject too.
    // Valid characters of every length are written.
    const std::pair<std::string, std::string> beyondAscii[] = {
        {"\xef\xbf\xbe", "U+FFFE, which XML cannot carry"},
        {"\xef\xbf\xbf", "U+FFFF, which XML cannot carry"},
        {"\xed\xa0\x80", "U+D800, a surrogate, which XML cannot carry"},
        {"\xff", "the byte 0xFF, which is not UTF-8"},
        {"\xc3", "the byte 0xC3, which is not UTF-8"},
        {"\xc0\xaf", "the byte 0xC0, which is not UTF-8"},
    };
    for (const auto& [text, what] : beyondAscii) {
        auto doc = StationDocument();
        doc->Root()->get("station")->set<std::string>("name", "\xc3\xa9\xe2\x82\xac" + text + "\xf0\x9f\x99\x82");
        ExpectThrowExactly<std::runtime_error>([&] { doc->Write(path); },
                                               "cannot write '/sdf/station/name': its value holds " + what);
    }
    {
        auto doc = StationDocument();
        doc->Root()->get("station")->set<std::string>("name", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82\xef\xbf\xbd");
        EXPECT_NE(doc->Root()->toXMLString("").find("\xc3\xa9\xe2\x82\xac\xf0\x9f\x99\x82\xef\xbf\xbd"), std::string::npos);
    }
    auto doc = StationDocument();
    doc->Root()->attributes().front()->fromString("1.0\x02");
    ExpectThrowExactly<std::runtime_error>(
        [&] { doc->Write(path); }, "cannot write '/sdf': its attribute 'version' holds U+0002, which XML cannot carry");
    EXPECT_EQ(ReadFile(path), "previous");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"cell.sdf"});

    // Tab, line feed, carriage return and DEL are XML's own and still written.
    doc->Root()->attributes().front()->fromString("1.0");
    doc->Root()->get("station")->set<std::string>("name", "a\tb\nc\rd\x7f");
    doc->Write(path);
    EXPECT_EQ(SDF::ReadSdfFromFile(path)->Root()->get("station")->as<std::string>("name"), "a\tb\nc\rd\x7f");
}
