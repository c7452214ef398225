// The value readers and writers avoid streams for speed but must give
// exactly what classic-locale streams give, for good text and for bad.

#include <sdformat/NumberText.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/Vec3Template.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using sdf::detail::AppendGeneral;
using sdf::detail::Extraction;
using sdf::detail::ExtractComponents;
using sdf::detail::ExtractNumber;

namespace {

// A sentinel start value shows whether an extraction left the value alone.
template <class T>
constexpr T kStart = static_cast<T>(42);

template <class T>
struct Outcome
{
    T value;
    bool failed;
    std::size_t consumed;
};

template <class T>
bool SameValue(T a, T b)
{
    if constexpr (std::is_same_v<T, double>)
        return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
    else
        return a == b;
}

// The one place where reading departs from streams: a double written as
// infinity or NaN reads back as written, when the word stands alone.
std::optional<Outcome<double>> WrittenNonFinite(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(" \t\n\v\f\r");
    if (begin == std::string::npos)
        return std::nullopt;
    const std::size_t end = std::min(text.find_first_of(" \t\n\v\f\r", begin), text.size());
    const std::string word = text.substr(begin, end - begin);
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    const std::pair<const char*, double> words[] = {{"inf", inf}, {"-inf", -inf}, {"nan", nan}, {"-nan", -nan}};
    for (const auto& [spelling, value] : words)
        if (word == spelling)
            return Outcome<double>{value, false, end};
    return std::nullopt;
}

template <class T>
Outcome<T> ByStream(const std::string& text)
{
    if constexpr (std::is_same_v<T, double>)
        if (const auto written = WrittenNonFinite(text))
            return *written;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    T value = kStart<T>;
    in >> value;
    const bool failed = in.fail();
    in.clear();
    const auto position = in.tellg();
    return {value, failed, position < 0 ? text.size() : static_cast<std::size_t>(position)};
}

template <class T>
Outcome<T> ByExtraction(const std::string& text)
{
    std::string_view rest = text;
    T value = kStart<T>;
    const Extraction result = ExtractNumber(rest, value);
    return {value, result != Extraction::Read, text.size() - rest.size()};
}

template <class T>
void ExpectSameAsStream(const std::string& text)
{
    const auto expected = ByStream<T>(text);
    const auto actual = ByExtraction<T>(text);
    EXPECT_TRUE(SameValue(actual.value, expected.value))
        << '"' << text << "\": stream " << expected.value << ", extraction " << actual.value;
    EXPECT_EQ(actual.failed, expected.failed) << '"' << text << '"';
    EXPECT_EQ(actual.consumed, expected.consumed) << '"' << text << '"';
}

const std::vector<std::string>& TrickyTexts()
{
    static const std::vector<std::string> texts = {
        "", " ", "  ", "\t7\n", "\v\f\r 3", "  2.5abc", "abc", "e5", "1e16", "+3", "-0", "-0.0", "0.0", "00",
        "0x10", "0X1F", ".5", "5.", "1.e5", "+.5", "-.5", ".", "-.", "+", "-", "+-3", "-+3", "--3", "1e", "1e+",
        "1e-", "1e+5x", "1E5", "1e5e3", "1.5.3", "0001.2300", "1,5", "1'000", "3 4", "inf", "-inf", "nan",
        "-nan", "+inf", "+nan", " inf ", "inf\t2", "-inf-", "inf3", "infx", "nanx", "-nanx", "Inf", "NaN", "INF",
        "- inf", "--inf", "in", "-in", "n", "na", "nan(1)", "i nf", "infinity",
        "1e400", "-1e400", "1e-400", "-1e-400", "0.0001e-330", "1e99999999999999999999",
        "1e-99999999999999999999", "2.4703282292062328e-324", "2.4703282292062327e-324",
        "4.9406564584124654e-324", "2.2250738585072014e-308", "1.7976931348623157e308",
        "1.7976931348623159e308", "-1.7976931348623159e308", "123456789012345678901234567890",
        "0.30000000000000000000000000000001", "2147483647", "2147483648", "-2147483648", "-2147483649",
        "4294967295", "4294967296", "-1", "-4294967295", "-4294967296", "9223372036854775807",
        "9223372036854775808", "-9223372036854775808", "-9223372036854775809", "18446744073709551615",
        "18446744073709551616", "-18446744073709551615", "-18446744073709551616", "99999999999999999999",
        "-99999999999999999999", "000000000000000000000000000012", "12abc", "1.9", "-7 ", "\x01" "5",
    };
    return texts;
}

// Short random texts over the characters that matter to number grammars.
std::vector<std::string> RandomTexts(std::size_t count, std::size_t maxLength)
{
    static const std::string alphabet = "0123456789000+-..eE x\t9";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> length(0, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::vector<std::string> texts;
    texts.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string text(length(random), ' ');
        for (char& c : text)
            c = alphabet[pick(random)];
        texts.push_back(std::move(text));
    }
    return texts;
}

template <class T>
class ExtractNumberTest : public ::testing::Test
{
};

using NumberTypes = ::testing::Types<double, int, unsigned int, std::uint64_t>;
TYPED_TEST_SUITE(ExtractNumberTest, NumberTypes);

} // namespace

TYPED_TEST(ExtractNumberTest, MatchesStreamOnTrickyTexts)
{
    for (const auto& text : TrickyTexts())
        ExpectSameAsStream<TypeParam>(text);
}

TYPED_TEST(ExtractNumberTest, MatchesStreamOnRandomTexts)
{
    for (const auto& text : RandomTexts(20000, 14))
        ExpectSameAsStream<TypeParam>(text);
}

TEST(ExtractNumber, StreamsClampAndWrapAsExpected)
{
    // The reference behaviour itself, so that a changed standard library
    // shows up here and not as a puzzling mismatch above.
    EXPECT_EQ(ByExtraction<unsigned int>("-1").value, 4294967295u);
    EXPECT_EQ(ByExtraction<unsigned int>("4294967296").value, 4294967295u);
    EXPECT_EQ(ByExtraction<unsigned int>("-4294967296").value, 4294967295u);
    EXPECT_EQ(ByExtraction<unsigned int>("-4294967295").value, 1u);
    EXPECT_EQ(ByExtraction<std::uint64_t>("99999999999999999999").value, std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(ByExtraction<int>("-2147483649").value, std::numeric_limits<int>::min());
    EXPECT_EQ(ByExtraction<double>("1e400").value, std::numeric_limits<double>::max());
    EXPECT_TRUE(ByExtraction<double>("1e400").failed);
    EXPECT_TRUE(std::signbit(ByExtraction<double>("-1e-400").value));
    EXPECT_FALSE(ByExtraction<double>("-1e-400").failed);
}

namespace {

template <class T, class ComponentsOf>
void ExpectComponentsSameAsStream(const std::string& text, ComponentsOf componentsOf)
{
    T expected;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> expected;

    T actual;
    auto components = componentsOf(actual);
    ExtractComponents(text, components.data(), static_cast<int>(components.size()));
    EXPECT_EQ(std::memcmp(&actual, &expected, sizeof(T)), 0) << '"' << text << '"';
}

} // namespace

TEST(ExtractComponents, MatchesChainedStreamExtraction)
{
    using Vec3 = zrv::rob::Vec3Template<double>;
    using Orient = zrv::rob::OrientTemplate<double>;
    using Pose = zrv::rob::PoseTemplate<double>;

    std::vector<std::string> texts = {"", "1 2", "1 2 3 4", "1\n2\t3", "1,2,3", "1e 2 3", "1 x 3", "1 2 ",
                                      "1.2.3", "1-2", " 5 6 7 8 9 10 11", "1 1e999 3", "0 0 1", "-0 -0 -0"};
    for (const auto& text : RandomTexts(5000, 30))
        texts.push_back(text);

    for (const auto& text : texts) {
        ExpectComponentsSameAsStream<Vec3>(text, [](Vec3& v) { return std::array{&v.x, &v.y, &v.z}; });
        ExpectComponentsSameAsStream<Orient>(text, [](Orient& q) { return std::array{&q.w, &q.x, &q.y, &q.z}; });
        ExpectComponentsSameAsStream<Pose>(text, [](Pose& p) {
            return std::array{&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
        });
    }
}

TEST(ExtractComponents, NonFiniteComponentsKeepTheOthers)
{
    using Pose = zrv::rob::PoseTemplate<double>;
    constexpr double inf = std::numeric_limits<double>::infinity();
    Pose pose;
    std::array components{&pose.pos.x, &pose.pos.y, &pose.pos.z, &pose.orient.w,
                          &pose.orient.x, &pose.orient.y, &pose.orient.z};
    ExtractComponents("1 nan 3 -inf 0.5 -nan inf", components.data(), 7);
    EXPECT_EQ(pose.pos.x, 1);
    EXPECT_TRUE(std::isnan(pose.pos.y) && !std::signbit(pose.pos.y));
    EXPECT_EQ(pose.pos.z, 3);
    EXPECT_EQ(pose.orient.w, -inf);
    EXPECT_EQ(pose.orient.x, 0.5);
    EXPECT_TRUE(std::isnan(pose.orient.y) && std::signbit(pose.orient.y));
    EXPECT_EQ(pose.orient.z, inf);

    // A word that only starts like one still stops the reading as before.
    ExpectComponentsSameAsStream<Pose>("1 nanx 3 1 0 0 0", [](Pose& p) {
        return std::array{&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
    });
}

namespace {

std::string ByStreamWriting(double value, int precision)
{
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out.precision(precision);
    out << value;
    return out.str();
}

std::string ByAppending(double value, int precision)
{
    std::string text = "[";
    AppendGeneral(text, value, precision);
    return text.substr(1);
}

} // namespace

TEST(AppendGeneral, MatchesStreamWriting)
{
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.1,
                                  2.0,
                                  1e16,
                                  -1e16,
                                  1e15,
                                  999999999999999.9,
                                  1e-5,
                                  1e-4,
                                  0.00012345,
                                  1.0 / 3.0,
                                  123.4567,
                                  2.5e6,
                                  999999.5,
                                  0.70710678,
                                  100000,
                                  1e6,
                                  123456789012345678.0,
                                  1e100,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::lowest(),
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::denorm_min(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  -std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(7);
    while (values.size() < 20000) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value))
            values.push_back(value);
    }
    std::uniform_real_distribution<double> ordinary(-1e7, 1e7);
    for (int i = 0; i < 5000; ++i)
        values.push_back(ordinary(random));

    for (const double value : values) {
        for (const int precision : {16, 6}) {
            EXPECT_EQ(ByAppending(value, precision), ByStreamWriting(value, precision))
                << "precision " << precision;
        }
    }
}
