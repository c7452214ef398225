// Strict reading of typed text: what is refused and why, and what storing
// makes of what is accepted.

#include <sdformat/StrictValue.h>

#include <sdformat/PoseTemplate.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace sdf {
namespace {

std::string errorOf(std::string_view type, std::string_view text)
{
    const auto parsed = StrictValue::Parse(type, text);
    EXPECT_FALSE(parsed.ok()) << type << " '" << text << "' was accepted as '" << parsed.storedText() << "'";
    EXPECT_FALSE(parsed.value().has_value());
    return parsed.error();
}

TEST(StrictValue, RefusesTextThatIsNotACompleteValueAndSaysWhy)
{
    EXPECT_EQ(errorOf("pose", "abc"), "'pose' cannot hold 'abc': it has 1 number, not 7");
    EXPECT_EQ(errorOf("pose", "1 2"), "'pose' cannot hold '1 2': it has 2 numbers, not 7");
    EXPECT_EQ(errorOf("pose", "1 x 0 1 0 0 0"), "'pose' cannot hold '1 x 0 1 0 0 0': 'x' (number 2) is not a number");
    EXPECT_EQ(errorOf("vector3", "1 2 3e999"), "'vector3' cannot hold '1 2 3e999': '3e999' (number 3) is out of range");
    EXPECT_EQ(errorOf("double", "1e999"), "'double' cannot hold '1e999': it is out of range");
    EXPECT_EQ(errorOf("double", "1.5x"), "'double' cannot hold '1.5x': it is not a number");
    EXPECT_EQ(errorOf("double", ""), "'double' cannot hold '': there is no number");
    EXPECT_EQ(errorOf("unsigned int", "nan"), "'unsigned int' cannot hold 'nan': it is not a whole number");
    EXPECT_EQ(errorOf("unsigned int", "inf"), "'unsigned int' cannot hold 'inf': it is not a whole number");
    EXPECT_EQ(errorOf("unsigned int", "-1"), "'unsigned int' cannot hold '-1': it is negative");
    EXPECT_EQ(errorOf("unsigned int", "4294967296"),
              "'unsigned int' cannot hold '4294967296': it is out of range (0 to 4294967295)");
    EXPECT_EQ(errorOf("int", "1.0"), "'int' cannot hold '1.0': it is not a whole number");
    EXPECT_EQ(errorOf("int", "1 2"), "'int' cannot hold '1 2': it has 2 words, not one number");
    EXPECT_EQ(errorOf("bool", "yes"), "'bool' cannot hold 'yes': it is not true, false, 1 or 0");
    EXPECT_EQ(errorOf("string", std::string("a\0b", 3)),
              std::string("'string' cannot hold 'a\0b': it holds U+0000, which XML cannot carry", 67));
    EXPECT_EQ(errorOf("string", "a\xef\xbf\xbe"), "'string' cannot hold 'a\xef\xbf\xbe': it holds U+FFFE, which XML cannot carry");
    EXPECT_EQ(errorOf("speeddata", "1 2"),
              "'speeddata' cannot hold '1 2': it is not a record of that type, which is written like '100 500 5000 1000'");
    EXPECT_EQ(errorOf("speeddata", "1 2 3 4 5"), "'speeddata' cannot hold '1 2 3 4 5': '5' is left over after the record");
    EXPECT_EQ(errorOf("colour", "red"), "unknown type 'colour'");
    // A pasted screenful is quoted only in part.
    EXPECT_EQ(errorOf("int", std::string(1000, 'x')).size(), std::string("'int' cannot hold '': it is not a whole number").size() + 200);
}

TEST(StrictValue, AcceptsCompleteValuesAndTellsWhatStoringMakesOfThem)
{
    const auto pose = StrictValue::Parse("pose", "  -1 +2 3.5 1 0 0 0\n");
    ASSERT_TRUE(pose.ok()) << pose.error();
    EXPECT_EQ(pose.storedText(), "-1 2 3.5 1 0 0 0");
    EXPECT_FALSE(pose.changed());
    EXPECT_TRUE(pose.notes().empty());
    EXPECT_EQ(std::any_cast<zrv::rob::PoseTemplate<double>>(pose.value()).pos.x, -1);

    const auto rounded = StrictValue::Parse("pose", "1.23456789 0 0 2 0 0 0");
    ASSERT_TRUE(rounded.ok());
    EXPECT_EQ(rounded.storedText(), "1.23457 0 0 2 0 0 0");
    EXPECT_TRUE(rounded.changed());
    EXPECT_EQ(rounded.notes(), (std::vector<std::string>{"rounded to 6 significant digits",
                                                         "the orientation is not a unit quaternion (its norm is 2)"}));

    const auto big = StrictValue::Parse("uint64_t", "18446744073709551615");
    ASSERT_TRUE(big.ok());
    EXPECT_EQ(std::any_cast<std::uint64_t>(big.value()), UINT64_MAX);
    EXPECT_FALSE(big.changed());

    // Non-finite values only where the text says so.
    const auto inf = StrictValue::Parse("double", "-inf");
    ASSERT_TRUE(inf.ok());
    EXPECT_EQ(std::any_cast<double>(inf.value()), -INFINITY);
    EXPECT_TRUE(StrictValue::Parse("bool", "false").ok());
    EXPECT_TRUE(StrictValue::Parse("string", " keeps  its spaces ").storedText() == " keeps  its spaces ");
    EXPECT_TRUE(StrictValue::Parse("speeddata", "1000 30 5000 1000").ok());
}

} // namespace
} // namespace sdf
