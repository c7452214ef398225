// The parts of the tool that are not worth a process each: the argument
// parser, path syntax and the catalogue knowledge of the id check.

#include "ArgParser.h"
#include "Command.h"
#include "ElementPath.h"

#include <sdformat/ElementTemplate.h>
#include <sdformat/ObjectFields.h>

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace sdftool {
namespace {

using sdf::IdReferenceLabels;
using sdf::IsIdReference;
using sdf::IsObjectTemplate;

constexpr OptionSpec kSpecs[] = {{"ids", 0, false}, {"output", 'o', true}};

ParsedArgs parse(std::vector<std::string> args)
{
    return ParseArgs(args, kSpecs);
}

TEST(ArgParser, OptionsAndPositionalsInAnyOrder)
{
    const auto a = parse({"a.sdf", "--ids", "-o", "out", "b.sdf", "--output=last", "-", "--", "--ids"});
    EXPECT_TRUE(a.has("ids"));
    EXPECT_EQ(a.value("output"), "last");   // the last one given wins
    EXPECT_EQ(a.positional(), (std::vector<std::string>{"a.sdf", "b.sdf", "-", "--ids"}));
    EXPECT_FALSE(parse({"x"}).has("ids"));
    EXPECT_EQ(parse({"x"}).value("output"), std::nullopt);
    EXPECT_EQ(parse({"--output="}).value("output"), "");
}

TEST(ArgParser, RejectsWhatItDoesNotKnow)
{
    EXPECT_THROW(parse({"--idz"}), UsageError);
    EXPECT_THROW(parse({"-i"}), UsageError);
    EXPECT_THROW(parse({"-oout"}), UsageError);     // no glued values
    EXPECT_THROW(parse({"--output"}), UsageError);  // value missing
    EXPECT_THROW(parse({"--ids=1"}), UsageError);
    EXPECT_TRUE(parse({"-h"}).has("help"));
}

TEST(ElementPath, Pieces)
{
    auto steps = ParsePath("station/part[12]/name", "sdf");
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].label, "station");
    EXPECT_EQ(steps[0].index, 0u);
    EXPECT_EQ(steps[1].label, "part");
    EXPECT_EQ(steps[1].index, 12u);
    EXPECT_EQ(ParsePath("/sdf/station", "sdf").size(), 1u);
    EXPECT_TRUE(ParsePath("/sdf", "sdf").empty());
    EXPECT_TRUE(ParsePath("/", "sdf").empty());
    EXPECT_TRUE(ParsePath("", "sdf").empty());

    for (const char* bad : {"station/", "/sdf/", "a//b", "part[]", "part[x]", "part[1", "[1]", "part[-1]",
                            "part[1]x", "/sdfx/station", "part[99999999999999999999999]"})
        EXPECT_THROW(ParsePath(bad, "sdf"), Failure) << bad;
}

// Every template of the format, with its parent.
void forEachTemplate(const std::function<void(const sdf::ElementTemplate&, const sdf::ElementTemplate*)>& f)
{
    std::function<void(const sdf::ElementTemplate&, const sdf::ElementTemplate*)> walk =
        [&](const sdf::ElementTemplate& t, const sdf::ElementTemplate* parent) {
            f(t, parent);
            for (const auto& c : t._children)
                walk(c, &t);
        };
    walk(sdf::RootTemplate(), nullptr);
}

TEST(ObjectFields, EveryIdLabelNamesIdElementsOfTheFormat)
{
    // Guards the list against the catalogue: a renamed element would
    // otherwise silently drop out of the check.
    std::set<std::string> found;
    forEachTemplate([&](const sdf::ElementTemplate& t, const sdf::ElementTemplate* parent) {
        if (IsIdReference(t, parent))
            found.insert(t._name);
    });
    for (auto label : IdReferenceLabels())
        EXPECT_TRUE(found.contains(std::string(label))) << label;
}

TEST(ObjectFields, ContainersAndNumbersThatShareALabelAreNoIds)
{
    const auto& station = sdf::RootTemplate().child("station");
    EXPECT_TRUE(IsIdReference(station.child("frame").child("anchor"), &station.child("frame")));
    EXPECT_TRUE(IsIdReference(station.child("controller").child("manipulator"), &station.child("controller")));
    EXPECT_FALSE(IsIdReference(station.child("manipulator"), &station));
    const auto& tool = station.child("tool");
    EXPECT_FALSE(IsIdReference(tool.child("tooldata"), &tool));
    const auto& attachment = station.child("simulation").child("state").child("attachment");
    EXPECT_FALSE(IsIdReference(attachment.child("id"), &attachment));
    EXPECT_TRUE(IsIdReference(attachment.child("target_id"), &attachment));
    EXPECT_FALSE(IsIdReference(station.child("next_dataid"), &station));
}

TEST(ObjectFields, ObjectsAreTheElementsWithTheCommonFields)
{
    const auto& station = sdf::RootTemplate().child("station");
    EXPECT_FALSE(IsObjectTemplate(sdf::RootTemplate()));
    for (const char* object : {"part", "frame", "attachment", "smart_component", "tool", "controller", "task"})
        EXPECT_TRUE(IsObjectTemplate(station.child(object))) << object;
    EXPECT_TRUE(IsObjectTemplate(station));
    // An `id` attribute alone does not make an object.
    EXPECT_FALSE(IsObjectTemplate(station.child("smart_component").child("connection")));
    EXPECT_FALSE(IsObjectTemplate(station.child("tool").child("tooldata")));
    EXPECT_FALSE(IsObjectTemplate(station.child("visibility")));
}

} // namespace
} // namespace sdftool
