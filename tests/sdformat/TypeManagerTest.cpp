#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/TypeManager.h>
#include <sdformat/Vec3Template.h>

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <CommaLocale.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <locale>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace sdf {

struct TypeManagerTestAccess
{
    static void insert(std::string_view name, const std::type_info& type)
    {
        TypeManager::inst()->insert(
            name, type, [](std::string_view) { return std::any(); }, [](const std::any&) { return std::string(); });
    }
};

} // namespace sdf

using sdf::TypeManager;
using Vec3 = zrv::rob::Vec3Template<double>;
using Pos = zrv::rob::PosTemplate<double>;
using Orient = zrv::rob::OrientTemplate<double>;
using Pose = zrv::rob::PoseTemplate<double>;

namespace {

TypeManager& Types()
{
    return *TypeManager::inst();
}

template <class T>
T Read(std::string_view typeName, std::string_view text)
{
    const std::any value = Types().fromString(typeName, text);
    EXPECT_EQ(value.type(), typeid(T)) << typeName;
    return std::any_cast<T>(value);
}

template <class T>
std::string Write(T value)
{
    return Types().toString(std::any(std::move(value)));
}

struct Registered
{
    const char* name;
    const std::type_info& type;
};

const std::vector<Registered>& AllTypes()
{
    static const std::vector<Registered> types = {
        {"bool", typeid(bool)},
        {"int", typeid(std::int32_t)},
        {"unsigned int", typeid(std::uint32_t)},
        {"uint64_t", typeid(std::uint64_t)},
        {"double", typeid(double)},
        {"string", typeid(std::string)},
        {"vector3", typeid(Vec3)},
        {"pos", typeid(Pos)},
        {"orient", typeid(Orient)},
        {"pose", typeid(Pose)},
        {"tooldata", typeid(zrv::rob::ToolData)},
        {"wobjdata", typeid(zrv::rob::WObjData)},
        {"speeddata", typeid(zrv::rob::SpeedData)},
        {"zonedata", typeid(zrv::rob::ZoneData)},
        {"robtarget", typeid(zrv::rob::RobTarget)},
        {"jointtarget", typeid(zrv::rob::JointTarget)},
    };
    return types;
}


} // namespace

TEST(TypeManager, RegistersTheSixteenTypesByNameAndIdentity)
{
    for (const auto& [name, type] : AllTypes()) {
        EXPECT_TRUE(Types().contains(name)) << name;
        EXPECT_TRUE(Types().contains(type)) << name;
        EXPECT_EQ(Types().name(type), name);
        // Empty text gives the type's default, held as the registered type.
        EXPECT_EQ(Types().fromString(name, "").type(), type) << name;
        EXPECT_EQ(Types().fromString(name, "garbage ! 12").type(), type) << name;
    }
}

TEST(TypeManager, NamesAreExactAndUnknownOnesFail)
{
    EXPECT_TRUE(Types().contains("int"));
    for (const char* name : {"annotated", "Int", "int ", "", "unsigned", "float", "vec3"})
        EXPECT_FALSE(Types().contains(name)) << name;
    EXPECT_THROW(Types().fromString("annotated", "1"), std::out_of_range);
    EXPECT_FALSE(Types().contains(typeid(float)));
    EXPECT_THROW(Types().name(typeid(float)), std::out_of_range);
    EXPECT_THROW(Write(1.5f), std::out_of_range);
    EXPECT_THROW(Types().toString(std::any()), std::out_of_range);
    EXPECT_THROW(Write(std::string_view("text")), std::out_of_range);
}

TEST(TypeManager, RegisteringAgainFailsAndChangesNothing)
{
    try {
        sdf::TypeManagerTestAccess::insert("bool", typeid(float));
        FAIL() << "a name registered twice";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "sdf type 'bool' has been registered");
    }
    try {
        sdf::TypeManagerTestAccess::insert("flag", typeid(bool));
        FAIL() << "a type registered twice";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "sdf type 'flag' has been registered");
    }
    EXPECT_FALSE(Types().contains("flag"));
    EXPECT_FALSE(Types().contains(typeid(float)));
    EXPECT_EQ(Types().name(typeid(bool)), "bool");
    EXPECT_EQ(Write(true), "true");
}

TEST(TypeManager, OneRegistryForAllThreads)
{
    std::vector<TypeManager*> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = TypeManager::inst(); });
    for (auto& thread : threads)
        thread.join();
    for (auto* registry : seen)
        EXPECT_EQ(registry, TypeManager::inst());
}

TEST(TypeManagerBool, OnlyEmptyZeroAndFalseAreFalse)
{
    for (const char* text : {"", "0", "false"})
        EXPECT_FALSE(Read<bool>("bool", text)) << '"' << text << '"';
    for (const char* text : {"1", "true", "False", "FALSE", "no", " 0", "0 ", "00", "false ", "2"})
        EXPECT_TRUE(Read<bool>("bool", text)) << '"' << text << '"';
    EXPECT_EQ(Write(true), "true");
    EXPECT_EQ(Write(false), "false");
}

TEST(TypeManagerDouble, ReadsLikeAStream)
{
    EXPECT_EQ(Read<double>("double", " 2.5abc"), 2.5);
    EXPECT_EQ(Read<double>("double", "abc"), 0.0);
    EXPECT_EQ(Read<double>("double", ""), 0.0);
    EXPECT_EQ(Read<double>("double", "   "), 0.0);
    EXPECT_EQ(Read<double>("double", "1e16"), 1e16);
    EXPECT_EQ(Read<double>("double", "+3"), 3.0);
    EXPECT_EQ(Read<double>("double", ".5"), 0.5);
    EXPECT_EQ(Read<double>("double", "1e"), 0.0);
    EXPECT_EQ(Read<double>("double", "0x10"), 0.0);
    EXPECT_EQ(Read<double>("double", "\t7\n"), 7.0);
    EXPECT_EQ(Read<double>("double", "1e400"), std::numeric_limits<double>::max());
    EXPECT_EQ(Read<double>("double", "-1e400"), -std::numeric_limits<double>::max());
}

TEST(TypeManagerDouble, WritesSixteenSignificantDigits)
{
    EXPECT_EQ(Write(0.1), "0.1");
    EXPECT_EQ(Write(2.0), "2");
    EXPECT_EQ(Write(0.0), "0");
    EXPECT_EQ(Write(1e16), "1e+16");
    EXPECT_EQ(Write(-1e16), "-1e+16");
    EXPECT_EQ(Write(1e15), "1000000000000000");
    EXPECT_EQ(Write(0.00001), "1e-05");
    EXPECT_EQ(Write(0.0001), "0.0001");
    EXPECT_EQ(Write(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(Write(123.4567), "123.4567");
    EXPECT_EQ(Write(Read<double>("double", "0.0")), "0");
}

TEST(TypeManagerIntegers, ClampAndWrapLikeAStream)
{
    EXPECT_EQ(Read<int>("int", "12abc"), 12);
    EXPECT_EQ(Read<int>("int", "0x10"), 0);
    EXPECT_EQ(Read<int>("int", "  +42"), 42);
    EXPECT_EQ(Read<int>("int", "-17"), -17);
    EXPECT_EQ(Read<int>("int", "abc"), 0);
    EXPECT_EQ(Read<int>("int", "1.9"), 1);
    EXPECT_EQ(Read<int>("int", "2147483648"), std::numeric_limits<int>::max());
    EXPECT_EQ(Read<int>("int", "99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(Read<int>("int", "-2147483649"), std::numeric_limits<int>::min());

    EXPECT_EQ(Read<unsigned int>("unsigned int", "4294967296"), 4294967295u);
    EXPECT_EQ(Read<unsigned int>("unsigned int", "-1"), 4294967295u);
    EXPECT_EQ(Read<unsigned int>("unsigned int", "-4294967296"), 4294967295u);
    EXPECT_EQ(Read<unsigned int>("unsigned int", "9999"), 9999u);

    EXPECT_EQ(Read<std::uint64_t>("uint64_t", "18446744073709551615"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(Read<std::uint64_t>("uint64_t", "99999999999999999999"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(Read<std::uint64_t>("uint64_t", "-1"), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(Read<std::uint64_t>("uint64_t", "4294967296"), 4294967296u);

    EXPECT_EQ(Write(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(Write(4294967295u), "4294967295");
    EXPECT_EQ(Write(std::numeric_limits<std::uint64_t>::max()), "18446744073709551615");
}

TEST(TypeManagerString, KeepsTheTextUnchanged)
{
    EXPECT_EQ(Read<std::string>("string", "  two words \n"), "  two words \n");
    EXPECT_EQ(Read<std::string>("string", ""), "");
    EXPECT_EQ(Write(std::string(" a b ")), " a b ");
}

TEST(TypeManagerVector, ReadsComponentsUntilTheFirstBadOne)
{
    EXPECT_EQ(Read<Vec3>("vector3", "1 2"), (Vec3{1, 2, 0}));
    EXPECT_EQ(Read<Vec3>("vector3", ""), (Vec3{0, 0, 0}));
    EXPECT_EQ(Read<Vec3>("vector3", "1\n2\t3"), (Vec3{1, 2, 3}));
    EXPECT_EQ(Read<Vec3>("vector3", "1 2 3 4"), (Vec3{1, 2, 3}));
    EXPECT_EQ(Read<Vec3>("vector3", "0 0 1"), (Vec3{0, 0, 1}));
    EXPECT_EQ(Write(Vec3{0, 0, 1}), "0 0 1");
    EXPECT_EQ(Read<Pos>("pos", "4 x 6"), (Pos{4, 0, 0}));
    EXPECT_EQ(Read<Pos>("pos", ""), (Pos{0, 0, 0}));

    EXPECT_EQ(Read<Orient>("orient", ""), (Orient{1, 0, 0, 0}));
    EXPECT_EQ(Read<Orient>("orient", "   "), (Orient{1, 0, 0, 0}));
    EXPECT_EQ(Read<Orient>("orient", "0.5 0.5"), (Orient{0.5, 0.5, 0, 0}));
    // A component that meets letters is 0; those after it keep defaults.
    EXPECT_EQ(Read<Orient>("orient", "abc 1 1 1"), (Orient{0, 0, 0, 0}));

    EXPECT_EQ(Read<Pose>("pose", ""), Pose{});
    EXPECT_EQ(Write(Pose{}), "0 0 0 1 0 0 0");
    const Pose position = Read<Pose>("pose", "1 2 3");
    EXPECT_EQ(position.pos, (Pos{1, 2, 3}));
    EXPECT_EQ(position.orient, Orient{});
    EXPECT_EQ(Read<Pose>("pose", "1 2 3 0 1 0 0"), (Pose{{1, 2, 3}, {0, 1, 0, 0}}));
}

TEST(TypeManagerVector, WritesSixSignificantDigitsPerComponent)
{
    EXPECT_EQ(Write(Pose{{123.4567, 0, 0}, {}}), "123.457 0 0 1 0 0 0");
    EXPECT_EQ(Write(Vec3{2.5e6, 0.70710678, -1e-7}), "2.5e+06 0.707107 -1e-07");
    EXPECT_EQ(Write(Orient{0.70710678, 0, 0.70710678, 0}), "0.707107 0 0.707107 0");
    EXPECT_EQ(Write(Pos{-0.0, 1e16, 100000}), "-0 1e+16 100000");
}

TEST(TypeManagerRobot, UsesTheRecordsOwnTextForms)
{
    const std::string toolDefault = "true 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0";
    EXPECT_EQ(Read<zrv::rob::ToolData>("tooldata", toolDefault), zrv::rob::ToolData{});
    EXPECT_EQ(Write(zrv::rob::ToolData{}), toolDefault);

    zrv::rob::ToolData tool;
    tool.robhold = false;
    tool.tframe.trans = {0.1, 1.0 / 3.0, 250};
    tool.tload.mass = 12.5;
    EXPECT_EQ(Read<zrv::rob::ToolData>("tooldata", Write(tool)), tool);

    zrv::rob::WObjData wobj;
    wobj.ufmec = "ROB 1";
    wobj.oframe.trans.z = 0.25;
    EXPECT_EQ(Read<zrv::rob::WObjData>("wobjdata", Write(wobj)), wobj);

    zrv::rob::RobTarget target;
    target.robconf = {-1, 0, 2, 1};
    EXPECT_EQ(Read<zrv::rob::RobTarget>("robtarget", Write(target)), target);

    // Bad text reads as far as it goes, and never fails.
    const auto partial = Read<zrv::rob::SpeedData>("speeddata", "7 8 oops 9");
    EXPECT_EQ(partial.v_tcp, 7);
    EXPECT_EQ(partial.v_ori, 8);
    EXPECT_EQ(partial.v_leax, zrv::rob::SpeedData{}.v_leax);
    EXPECT_EQ(Read<zrv::rob::ZoneData>("zonedata", "\"unterminated"), zrv::rob::ZoneData{});
    zrv::rob::WObjData unterminated;
    unterminated.robhold = true;
    unterminated.ufprog = false;
    EXPECT_EQ(Read<zrv::rob::WObjData>("wobjdata", "true false \"unterminated 1 2"), unterminated);
}

TEST(TypeManagerLocale, TextIsTheSameUnderACommaDecimalLocale)
{
    const sdf::testing::GlobalLocale comma(sdf::testing::CommaLocale());

    EXPECT_EQ(Read<double>("double", "0.5"), 0.5);
    EXPECT_EQ(Read<double>("double", "1,5"), 1.0);
    EXPECT_EQ(Read<Pose>("pose", "1.5 2,5 3"), (Pose{{1.5, 2, 0}, {}}));
    EXPECT_EQ(Read<int>("int", "1.234"), 1);
    EXPECT_EQ(Write(0.5), "0.5");
    EXPECT_EQ(Write(1234567), "1234567");
    EXPECT_EQ(Write(std::uint64_t{1234567}), "1234567");
    EXPECT_EQ(Write(Vec3{1234.5, 0, 0}), "1234.5 0 0");

    zrv::rob::RobTarget target;
    target.trans = {1500.25, 0, 0};
    target.robconf.cf1 = 1000;
    const std::string text = Write(target);
    EXPECT_EQ(text.substr(0, 14), "1500.25 0 0 1 ");
    EXPECT_EQ(Read<zrv::rob::RobTarget>("robtarget", text), target);
}

TEST(TypeManagerConcurrency, ThreadsConvertIndependently)
{
    // Each thread works with its own values; every result must be its own.
    std::vector<int> mismatches(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            for (int i = 0; i < 2000; ++i) {
                zrv::rob::ToolData tool;
                tool.tload.mass = t * 10000 + i + 0.5;
                const std::string text = Write(tool);
                if (Read<zrv::rob::ToolData>("tooldata", text) != tool)
                    ++mismatches[t];
                const Pose pose{{double(t), double(i), 0.25}, {}};
                if (Read<Pose>("pose", Write(pose)) != pose)
                    ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}
