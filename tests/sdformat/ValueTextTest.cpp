#include <sdformat/PoseTemplate.h>
#include <sdformat/TypeManager.h>
#include <sdformat/ValueText.h>
#include <sdformat/Vec3Template.h>

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using sdf::TextPlace;
using sdf::TypeManager;

namespace {

using Pose = zrv::rob::PoseTemplate<double>;

// Same stored type and the same bits (so -0, NaN and the last digit count).
template <class T>
bool SameBits(const std::any& a, const std::any& b)
{
    const T& x = *std::any_cast<T>(&a);
    const T& y = *std::any_cast<T>(&b);
    return std::memcmp(&x, &y, sizeof(T)) == 0;
}

bool SameValue(const std::any& a, const std::any& b)
{
    if (a.type() != b.type())
        return false;
    if (a.type() == typeid(std::string))
        return *std::any_cast<std::string>(&a) == *std::any_cast<std::string>(&b);
    if (a.type() == typeid(int))
        return SameBits<int>(a, b);
    if (a.type() == typeid(unsigned int))
        return SameBits<unsigned int>(a, b);
    if (a.type() == typeid(double))
        return SameBits<double>(a, b);
    if (a.type() == typeid(bool))
        return SameBits<bool>(a, b);
    if (a.type() == typeid(Pose))
        return SameBits<Pose>(a, b);
    // Types without a shortcut: compare what the registry writes of them.
    return TypeManager::inst()->toString(a) == TypeManager::inst()->toString(b);
}

std::string EscapeSlowly(const std::string& text, bool attribute)
{
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '\'' && attribute)
            out += "&apos;";
        else
            out += c;
    }
    return out;
}

} // namespace

TEST(ValueText, ReadsEveryTypeAsTheRegistryDoes)
{
    const std::vector<std::string> types = {"bool", "int", "unsigned int", "uint64_t", "double", "string",
                                            "vector3", "pos", "orient", "pose", "tooldata", "wobjdata",
                                            "speeddata", "zonedata", "robtarget", "jointtarget"};
    const std::vector<std::string> texts = {
        "", " ", "0", "1", "-1", "+5", "42abc", "  7", "\t\n9", "4294967295", "4294967296", "-2147483649", "-0",
        "1e400", "-1e-400", "0x10", "3.14159265358979311", "0.1", ".5", "5.", "1e", "nan", "inf", "-inf", "false",
        "true", "FALSE", "0 ", "1 2 3 4 5 6 7", "1 2", "1 2 3 1 0 0 0 9", "1,2,3", "a b c", "1 x 3 4 5 6 7",
        "R&D <cell> 'x'", "  spaced  "};
    for (const auto& type : types)
        for (const auto& text : texts)
            EXPECT_TRUE(SameValue(sdf::ReadValueText(type, text), TypeManager::inst()->fromString(type, text)))
                << type << " from '" << text << "'";
}

TEST(ValueText, UnregisteredTypeNameIsOutOfRange)
{
    for (const std::string type : {"annotated", "", "String", "float", "unsigned"})
        EXPECT_THROW(sdf::ReadValueText(type, "1"), std::out_of_range) << type;
}

namespace {

// Values of every registered type, doubles over the whole range among them.
std::vector<std::any> ValuesOfEveryType()
{
    using namespace zrv::rob;
    std::vector<std::any> values = {
        true, false, -17, 0, std::numeric_limits<int>::min(), 4294967295u, 3u,
        std::uint64_t{18446744073709551615ull}, std::string(), std::string("a&b<c'd\"e>f"),
        Vec3Template<double>{1.5, -2.25, 1e-7}, PosTemplate<double>{0.1, 0.2, 0.3},
        OrientTemplate<double>{0.7071067811865476, 0, 0.7071067811865476, 0},
        PoseTemplate<double>{{1000.123456789, -0.000123456789, 3}, {1, 0, 0, 0}}, ToolData{}, WObjData{},
        SpeedData{}, ZoneData{}, RobTarget{}, JointTarget{}};
    for (double d : {0.0, -0.0, 0.1, 2.5, 1e-5, 1e16, 1e15, 123456789012345678.0, -123456.78901234567, 1.0 / 3.0,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()})
        values.emplace_back(d);
    double x = 0.7390851332151607;
    for (int i = 0; i < 200; ++i) {
        x = std::fmod(x * 9301.0 + 49297.0, 233280.0);
        values.emplace_back(x * std::pow(10.0, i % 40 - 20) * (i % 2 ? -1 : 1));
        values.emplace_back(Pose{{x, -x / 7, x * 1e-3}, {x / 233280.0, 0.5, -0.25, 1e-9 * x}});
    }
    return values;
}

} // namespace

TEST(ValueText, WritesEveryTypeAsTheRegistryDoesEscaped)
{
    const std::vector<std::any> values = ValuesOfEveryType();
    for (const auto& value : values) {
        const std::string expected = TypeManager::inst()->toString(value);
        for (TextPlace place : {TextPlace::Content, TextPlace::Attribute}) {
            std::string out = "prefix:";
            sdf::AppendValueText(out, value, place);
            EXPECT_EQ(out, "prefix:" + EscapeSlowly(expected, place == TextPlace::Attribute))
                << TypeManager::inst()->name(value.type());
        }
    }
}

TEST(ValueText, EscapesOnlyWhatItsPlaceNeeds)
{
    std::string out;
    sdf::AppendEscaped(out, "&&<'\">\t\n\xC3\xA9", TextPlace::Content);
    EXPECT_EQ(out, "&amp;&amp;&lt;'\">\t\n\xC3\xA9");
    out.clear();
    sdf::AppendEscaped(out, "'&'<", TextPlace::Attribute);
    EXPECT_EQ(out, "&apos;&amp;&apos;&lt;");
    out = "kept";
    sdf::AppendEscaped(out, "", TextPlace::Attribute);
    EXPECT_EQ(out, "kept");
}

TEST(ValueText, WritesWhatAParserWouldNormaliseAsCharacterReferences)
{
    std::string out;
    sdf::AppendEscaped(out, "a\rb\tc\nd", TextPlace::Content);
    EXPECT_EQ(out, "a&#13;b\tc\nd");
    out.clear();
    sdf::AppendEscaped(out, "a\rb\tc\nd", TextPlace::Attribute);
    EXPECT_EQ(out, "a&#13;b&#9;c&#10;d");
}
