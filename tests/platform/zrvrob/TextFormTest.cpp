// Every record's writer and reader must agree: documents store what the
// writer gives and read it back later, possibly on a machine with another
// locale.

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <CommaLocale.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <locale>
#include <sstream>
#include <string>

using namespace zrv::rob;

namespace {

template <class T>
std::string write(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <class T>
T read(const std::string& text, bool* failed = nullptr)
{
    std::istringstream in(text);
    T value;
    in >> value;
    if (failed)
        *failed = in.fail();
    return value;
}

// Values a decimal text form with too few digits would not bring back.
constexpr double kThird = 1.0 / 3.0;
constexpr double kTiny = 4.9406564584124654e-324; // smallest subnormal
constexpr double kHuge = std::numeric_limits<double>::max();

ToolData awkwardTool()
{
    ToolData tool;
    tool.robhold = false;
    tool.tframe.trans = {0.1, -kThird, 1e-300};
    tool.tframe.rot = {0.70710678118654757, 0, -0.70710678118654757, 0};
    tool.tload.mass = 12.345678901234567;
    tool.tload.cog = {kTiny, -kHuge, 123456789.125};
    tool.tload.aom = {1, 0, 0, 0};
    tool.tload.ix = 0.2;
    tool.tload.iy = -0.0;
    tool.tload.iz = 3e22;
    return tool;
}

WObjData awkwardWObj()
{
    WObjData wobj;
    wobj.robhold = true;
    wobj.ufprog = false;
    wobj.ufmec = "STN 1 \"left\" \\ side";
    wobj.uframe.trans = {kThird, 2, 3};
    wobj.oframe.rot = {0.5, 0.5, 0.5, 0.5};
    return wobj;
}

SpeedData awkwardSpeed()
{
    return {1000.0 / 3.0, 0.1, 1e-7, 7};
}

ZoneData awkwardZone()
{
    return {false, 0.3, 4.5, 4.5, kThird, 1e10, 0.045};
}

RobTarget awkwardRobTarget()
{
    RobTarget target;
    target.trans = {1200.5, -kThird, 0.1};
    target.rot = {0.0436193873653360, 0, 0.9990482215818578, 0};
    target.robconf = {-1, 0, -2, 1};
    target.extax[0] = 250.25;
    return target;
}

JointTarget awkwardJointTarget()
{
    JointTarget target;
    target.robax = {0, -30.5, kThird, 180, -180, 1e-9};
    target.extax[5] = -kHuge;
    return target;
}

template <class T>
struct Sample;
template <> struct Sample<ToolData> { static ToolData make() { return awkwardTool(); } };
template <> struct Sample<WObjData> { static WObjData make() { return awkwardWObj(); } };
template <> struct Sample<SpeedData> { static SpeedData make() { return awkwardSpeed(); } };
template <> struct Sample<ZoneData> { static ZoneData make() { return awkwardZone(); } };
template <> struct Sample<RobTarget> { static RobTarget make() { return awkwardRobTarget(); } };
template <> struct Sample<JointTarget> { static JointTarget make() { return awkwardJointTarget(); } };

template <class T>
class RecordTextForm : public ::testing::Test
{
};

using Records = ::testing::Types<ToolData, WObjData, SpeedData, ZoneData, RobTarget, JointTarget>;
TYPED_TEST_SUITE(RecordTextForm, Records);

} // namespace

TYPED_TEST(RecordTextForm, WrittenTextReadsBackToTheSameValue)
{
    const TypeParam original = Sample<TypeParam>::make();
    ASSERT_NE(original, TypeParam{}) << "the sample should differ from the default";
    bool failed = true;
    const auto back = read<TypeParam>(write(original), &failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(back, original) << write(original);
    EXPECT_EQ(write(back), write(original));
    EXPECT_EQ(read<TypeParam>(write(TypeParam{})), TypeParam{});
}

TYPED_TEST(RecordTextForm, TextDoesNotDependOnTheStreamLocale)
{
    const TypeParam original = Sample<TypeParam>::make();
    const std::locale comma = sdf::testing::CommaLocale();

    std::ostringstream out;
    out.imbue(comma);
    out << original;
    EXPECT_EQ(out.str(), write(original));

    std::istringstream in(out.str());
    in.imbue(comma);
    TypeParam back;
    in >> back;
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(back, original);
}

TYPED_TEST(RecordTextForm, EmptyOrBlankTextFailsAndKeepsTheValue)
{
    for (const char* text : {"", "   ", "\n\t"}) {
        bool failed = false;
        EXPECT_EQ(read<TypeParam>(text, &failed), TypeParam{}) << '"' << text << '"';
        EXPECT_TRUE(failed);
    }
}

TYPED_TEST(RecordTextForm, CopiesAreEqualAndIndependent)
{
    const TypeParam original = Sample<TypeParam>::make();
    TypeParam copy = original;
    EXPECT_EQ(copy, original);
    copy = TypeParam{};
    EXPECT_NE(copy, original);
    TypeParam moved = std::move(copy);
    EXPECT_EQ(moved, TypeParam{});
}

TEST(ToolDataText, ReadsTheCatalogueDefault)
{
    const std::string text = "true 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0";
    bool failed = true;
    const auto tool = read<ToolData>(text, &failed);
    EXPECT_FALSE(failed);
    EXPECT_TRUE(tool.robhold);
    EXPECT_EQ(tool.tframe.rot.w, 1.0);
    EXPECT_EQ(tool.tload.mass, 0.0);
    EXPECT_EQ(tool.tload.aom.w, 1.0);
    EXPECT_EQ(tool, ToolData{});
    EXPECT_EQ(write(ToolData{}), text);
}

TEST(ToolDataText, NegativeZeroKeepsItsSign)
{
    ToolData tool;
    tool.tload.iy = -0.0;
    EXPECT_TRUE(std::signbit(read<ToolData>(write(tool)).tload.iy));
}

TEST(ToolDataText, ReadsFieldsInTheirOrder)
{
    const auto tool = read<ToolData>("false 1 2 3 0 1 0 0 4.5 5 6 7 0 0 1 0 8 9 10");
    EXPECT_FALSE(tool.robhold);
    EXPECT_EQ(tool.tframe.trans, (Position{1, 2, 3}));
    EXPECT_EQ(tool.tframe.rot, (Quaternion{0, 1, 0, 0}));
    EXPECT_EQ(tool.tload.mass, 4.5);
    EXPECT_EQ(tool.tload.cog, (Position{5, 6, 7}));
    EXPECT_EQ(tool.tload.aom, (Quaternion{0, 0, 1, 0}));
    EXPECT_EQ(tool.tload.ix, 8);
    EXPECT_EQ(tool.tload.iy, 9);
    EXPECT_EQ(tool.tload.iz, 10);
}

TEST(ToolDataText, TruthWordIsTrueFalseOneOrZero)
{
    EXPECT_TRUE(read<ToolData>("1 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0").robhold);
    EXPECT_FALSE(read<ToolData>("0 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0").robhold);
    EXPECT_FALSE(read<ToolData>("false 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0").robhold);

    for (const char* word : {"TRUE", "yes", "2", "truex"}) {
        bool failed = false;
        const auto tool = read<ToolData>(std::string(word) + " 5 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0", &failed);
        EXPECT_TRUE(failed) << word;
        EXPECT_EQ(tool, ToolData{}) << word;
    }
}

TEST(ToolDataText, StopsAtTheFirstMalformedField)
{
    bool failed = false;
    // The third number carries letters: the two before it are kept, it and
    // the rest keep their former values.
    const auto tool = read<ToolData>("false 1.5 -2 3x 0 1 0 0 9", &failed);
    EXPECT_TRUE(failed);
    EXPECT_FALSE(tool.robhold);
    EXPECT_EQ(tool.tframe.trans, (Position{1.5, -2, 0}));
    EXPECT_EQ(tool.tframe.rot, Quaternion{});
    EXPECT_EQ(tool.tload.mass, 0);

    const auto shortText = read<ToolData>("true 7 8", &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(shortText.tframe.trans, (Position{7, 8, 0}));
}

TEST(ToolDataText, AcceptsAnyWhiteSpaceAndPlusSigns)
{
    const auto tool = read<ToolData>("\ttrue\n+1 2  3\r\n1 0 0 0 +0.5 0 0 0 1 0 0 0 0 0 1e-3");
    EXPECT_EQ(tool.tframe.trans, (Position{1, 2, 3}));
    EXPECT_EQ(tool.tload.mass, 0.5);
    EXPECT_EQ(tool.tload.iz, 1e-3);
}

TEST(WObjDataText, DefaultAndQuotedUnitName)
{
    EXPECT_EQ(write(WObjData{}), "false true \"\" 0 0 0 1 0 0 0 0 0 0 1 0 0 0");
    const auto wobj = read<WObjData>("true false Axes_1 10 0 0 1 0 0 0 0 0 5 1 0 0 0");
    EXPECT_TRUE(wobj.robhold);
    EXPECT_FALSE(wobj.ufprog);
    EXPECT_EQ(wobj.ufmec, "Axes_1");
    EXPECT_EQ(wobj.uframe.trans.x, 10);
    EXPECT_EQ(wobj.oframe.trans.z, 5);
}

TEST(WObjDataText, CopyAndMoveCarryTheUnitName)
{
    const WObjData original = awkwardWObj();
    WObjData copy(original);
    EXPECT_EQ(copy.ufmec, original.ufmec);
    WObjData moved(std::move(copy));
    EXPECT_EQ(moved, original);
    WObjData assigned;
    assigned = moved;
    EXPECT_EQ(assigned, original);
    assigned = WObjData{};
    EXPECT_EQ(assigned.ufmec, "");
}

TEST(RobTargetText, DefaultHasUnusedExternalAxes)
{
    EXPECT_EQ(write(RobTarget{}), "0 0 0 1 0 0 0 0 0 0 0 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09");
    EXPECT_EQ(write(JointTarget{}), "0 0 0 0 0 0 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09");
}

TEST(RobTargetText, ConfigurationIsWholeNumbers)
{
    bool failed = false;
    const auto target = read<RobTarget>("1 2 3 1 0 0 0 -1 0 1.5 0 0 0 0 0 0 0", &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(target.robconf, (ConfData{-1, 0, 0, 0}));
    EXPECT_EQ(target.extax, kNoExtAxes);
}

TEST(SpeedDataText, OutOfRangeNumberFails)
{
    bool failed = false;
    const auto speed = read<SpeedData>("1e999 1 2 3", &failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(speed, SpeedData{});
}

TEST(ZoneDataText, NonFiniteValuesSurvive)
{
    ZoneData zone;
    zone.pzone_tcp = std::numeric_limits<double>::infinity();
    zone.pzone_ori = -std::numeric_limits<double>::infinity();
    zone.zone_ori = std::numeric_limits<double>::quiet_NaN();
    const auto back = read<ZoneData>(write(zone));
    EXPECT_EQ(back.pzone_tcp, zone.pzone_tcp);
    EXPECT_EQ(back.pzone_ori, zone.pzone_ori);
    EXPECT_TRUE(std::isnan(back.zone_ori));
}
