// The in-memory reader of each record must give exactly what its stream
// operator gives over a classic-locale stream holding the same text: the
// same fields, the same partial read, the same success. Documents are read
// the first way, clients may use the second.

#include "RecordTexts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <locale>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace zrv::rob;
using namespace zrv::rob::testing;

namespace {

struct Outcome
{
    std::string fields; // every field, as the writer spells it
    bool ok = false;
};

template <class T>
Outcome ByStream(const std::string& text, T value)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> value;
    return {WriteRecord(value), !in.fail()};
}

template <class T>
Outcome ByText(const std::string& text, T value)
{
    const bool ok = ReadFromText(text, value);
    return {WriteRecord(value), ok};
}

// The writer gives the shortest text that reads back to the same double,
// and spells NaN and signed zeros, so equal texts mean equal fields even
// where operator== cannot tell (NaN).
template <class T>
std::optional<std::string> Difference(const std::string& text, const T& start)
{
    const auto stream = ByStream(text, start);
    const auto direct = ByText(text, start);
    if (stream.fields == direct.fields && stream.ok == direct.ok)
        return std::nullopt;
    return Printable(text) + ": stream " + (stream.ok ? "ok " : "failed ") + Printable(stream.fields) +
           ", text " + (direct.ok ? "ok " : "failed ") + Printable(direct.fields);
}

// Starting values: the default, and one that differs from it in every
// field, so that fields the reader leaves alone show.
template <class T>
std::vector<T> Starts()
{
    std::mt19937_64 random(7);
    return {T{}, RandomRecord<T>(random)};
}

template <class T>
std::vector<std::string> Differences(const std::vector<std::string>& texts)
{
    std::vector<std::string> differences;
    for (const auto& start : Starts<T>()) {
        for (const auto& text : texts) {
            if (auto difference = Difference(text, start))
                differences.push_back(std::move(*difference));
        }
    }
    return differences;
}

template <class T>
class RecordTextRead : public ::testing::Test
{
};

using Records = ::testing::Types<ToolData, WObjData, SpeedData, ZoneData, RobTarget, JointTarget>;
TYPED_TEST_SUITE(RecordTextRead, Records);

} // namespace

TYPED_TEST(RecordTextRead, AwkwardTextsReadAsByStream)
{
    std::mt19937_64 random(11);
    std::vector<std::string> texts = AwkwardTexts(WriteRecord(TypeParam{}));
    for (const auto& more : AwkwardTexts(WriteRecord(RandomRecord<TypeParam>(random))))
        texts.push_back(more);

    const auto differences = Differences<TypeParam>(texts);
    EXPECT_TRUE(differences.empty()) << differences.size() << " of " << 2 * texts.size() << " differ:\n"
                                     << FirstFew(differences);
}

TYPED_TEST(RecordTextRead, RandomlyChangedTextsReadAsByStream)
{
    std::mt19937_64 random(20240611);
    std::vector<std::string> texts;
    for (int i = 0; i < 4000; ++i)
        texts.push_back(RandomMutatedText<TypeParam>(random));

    const auto differences = Differences<TypeParam>(texts);
    EXPECT_TRUE(differences.empty()) << differences.size() << " of " << 2 * texts.size() << " differ:\n"
                                     << FirstFew(differences);

    // The changes must reach both outcomes, or the comparison proves little.
    int failures = 0;
    for (const auto& text : texts)
        failures += ByStream(text, TypeParam{}).ok ? 0 : 1;
    EXPECT_GT(failures, 400);
    EXPECT_LT(failures, 3600);
}

TYPED_TEST(RecordTextRead, WrittenTextReadsBackWhole)
{
    std::mt19937_64 random(3);
    for (int i = 0; i < 200; ++i) {
        const auto original = RandomRecord<TypeParam>(random);
        TypeParam back;
        EXPECT_TRUE(ReadFromText(WriteRecord(original), back));
        EXPECT_EQ(back, original) << WriteRecord(original);
    }
}

TYPED_TEST(RecordTextRead, BlankTextFailsAndKeepsTheValue)
{
    std::mt19937_64 random(5);
    const auto start = RandomRecord<TypeParam>(random);
    for (const char* text : {"", " ", "\t\n\v\f\r"}) {
        auto value = start;
        EXPECT_FALSE(ReadFromText(text, value)) << Printable(text);
        EXPECT_EQ(value, start) << Printable(text);
    }
}

// The rules themselves, read straight from text, on the records that
// documents hold most.

TEST(RecordTextRules, StopsAtTheFirstMalformedFieldAndKeepsTheRest)
{
    SpeedData speed{1, 2, 3, 4};
    EXPECT_FALSE(ReadFromText("7 8 oops 9", speed));
    EXPECT_EQ(speed, (SpeedData{7, 8, 3, 4}));

    ZoneData zone;
    EXPECT_FALSE(ReadFromText("false 5 6\n", zone));
    EXPECT_FALSE(zone.finep);
    EXPECT_EQ(zone.pzone_tcp, 5);
    EXPECT_EQ(zone.pzone_ori, 6);
    EXPECT_EQ(zone.pzone_eax, 0);
}

TEST(RecordTextRules, NumbersAsFromCharsReadsThemWithAnOptionalPlus)
{
    SpeedData speed;
    EXPECT_TRUE(ReadFromText("+1e3\t-inf\r\nnan(7)\v+.5", speed));
    EXPECT_EQ(speed.v_tcp, 1000);
    EXPECT_EQ(speed.v_ori, -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(speed.v_leax));
    EXPECT_EQ(speed.v_reax, 0.5);

    for (const char* bad : {"++1 0 0 0", "+-1 0 0 0", "0x10 0 0 0", "1,5 0 0 0", "1e 0 0 0", "1e400 0 0 0"}) {
        SpeedData unchanged;
        EXPECT_FALSE(ReadFromText(bad, unchanged)) << bad;
        EXPECT_EQ(unchanged, SpeedData{}) << bad;
    }
}

TEST(RecordTextRules, TrailingTextIsLeftUnread)
{
    RobTarget target;
    EXPECT_TRUE(ReadFromText("1 2 3 1 0 0 0 -1 0 1 0 1 2 3 4 5 6 junk \"and more", target));
    EXPECT_EQ(target.trans, (Position{1, 2, 3}));
    EXPECT_EQ(target.robconf, (ConfData{-1, 0, 1, 0}));
    EXPECT_EQ(target.extax[5], 6);
}

TEST(RecordTextRules, UnitNamesAreReadAsStdQuotedReadsThem)
{
    const std::string frames = " 0 0 0 1 0 0 0 0 0 0 1 0 0 0";
    WObjData wobj;
    EXPECT_TRUE(ReadFromText("true false \"a \\\"b\\\\ \\c\"" + frames, wobj));
    EXPECT_EQ(wobj.ufmec, "a \"b\\ c");

    EXPECT_TRUE(ReadFromText("true false back\\slash" + frames, wobj));
    EXPECT_EQ(wobj.ufmec, "back\\slash");

    // The closing quote ends the name even inside a word.
    EXPECT_TRUE(ReadFromText("true false \"x\"1 0 0 1 0 0 0 0 0 0 1 0 0 0", wobj));
    EXPECT_EQ(wobj.ufmec, "x");
    EXPECT_EQ(wobj.uframe.trans.x, 1);

    // Without a closing quote there is no name, and nothing after it.
    WObjData open;
    open.ufmec = "kept";
    EXPECT_FALSE(ReadFromText("true false \"never closed 1 2 3", open));
    EXPECT_TRUE(open.robhold);
    EXPECT_EQ(open.ufmec, "kept");
    EXPECT_FALSE(ReadFromText("true false \"ends in an escape\\", open));
    EXPECT_EQ(open.ufmec, "kept");
}
