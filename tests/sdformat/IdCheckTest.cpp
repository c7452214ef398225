// The id check over whole documents: each kind of problem with every
// element involved, and a sound station (the sample) without any.

#include <sdformat/IdCheck.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace sdf {
namespace {

std::vector<IdCheck::Problem> check(const std::string& text)
{
    return IdCheck::Check(*SDF::ReadSdfFromString(text)->Root());
}

std::string listing(const std::vector<IdCheck::Problem>& problems)
{
    std::string out;
    for (const auto& p : problems) {
        out += std::string(IdCheck::KindName(p.kind)) + " " + p.message + " |";
        for (const auto& path : p.paths)
            out += " " + path;
        out += "\n";
    }
    return out;
}

TEST(IdCheck, ReportsEveryKindWithTheElementsInvolved)
{
    const auto problems = check(R"(<sdf version='1.0'>
  <station id='1'>
    <child>2</child>
    <child>3</child>
    <part id='2'><parent>1</parent></part>
    <part id='3'><parent>2</parent></part>
    <part id='abc'><parent>1</parent></part>
    <part id='0'/>
    <assembly id='4'><parent>1</parent><child>2</child></assembly>
    <frame id='5'><anchor>99</anchor><parent>1</parent></frame>
    <manipulator id='7'><child>8</child><link id='8'/><wrist id='11'/></manipulator>
    <assembly id='9'><child>10</child></assembly>
    <part id='10'/>
    <smart_component id='6'><role_object type='string'>x</role_object></smart_component>
  </station>
</sdf>
)");
    EXPECT_EQ(listing(problems),
              "parent-mismatch lists object 3 as a child, but its parent is 2 | /sdf/station/child[2] "
              "/sdf/station/part[2]/parent\n"
              "zero-id object has id 0, which names no object | /sdf/station/part[3]\n"
              "zero-id object has id 0, which names no object | /sdf/station/part[4]\n"
              "duplicate-id object id 0 is also used by /sdf/station/part[3] | /sdf/station/part[4] "
              "/sdf/station/part[3]\n"
              "listed-twice object 2 is also listed as a child at /sdf/station/child[1] | "
              "/sdf/station/assembly[1]/child /sdf/station/child[1]\n"
              "parent-mismatch lists object 2 as a child, but its parent is 1 | /sdf/station/assembly[1]/child "
              "/sdf/station/part[1]/parent\n"
              "dangling-reference id 99 names no object | /sdf/station/frame/anchor\n"
              "parent-mismatch lists object 10 as a child, but it names no parent and lies in 1 | "
              "/sdf/station/assembly[2]/child /sdf/station/part[5]\n"
              "not-an-id holds a 'string' value, not an object id | /sdf/station/smart_component/role_object\n");
    ASSERT_FALSE(problems.empty());
    EXPECT_EQ(problems[0].ids, (std::vector<unsigned int>{3, 1, 2}));
}

// Parents that go round place their objects nowhere, even where every child
// list agrees with them; each loop is reported once, named from its first
// object. A chain as long as a station can be is followed without
// recursion: a hundred thousand assemblies each the parent of the next
// (the tool checks a million the same way).
TEST(IdCheck, ParentLoopsAreFoundHoweverLongTheChain)
{
    EXPECT_EQ(listing(check(R"(<sdf version='1.0'>
  <station id='1'>
    <assembly id='2'><parent>3</parent><child>3</child></assembly>
    <assembly id='3'><parent>2</parent><child>2</child></assembly>
    <part id='4'><parent>4</parent></part>
    <part id='5'><parent>2</parent></part>
  </station>
</sdf>
)")),
              "parent-loop object 2 is its own ancestor: parents 2 -> 3 -> 2 | /sdf/station/assembly[1]/parent "
              "/sdf/station/assembly[2]/parent\n"
              "parent-loop object 4 is its own ancestor: parents 4 -> 4 | /sdf/station/part[1]/parent\n");

    constexpr unsigned int kChain = 100000;
    std::string text = "<sdf version='1.0'><station id='1'>";
    for (unsigned int id = 2; id < kChain + 2; ++id)
        text += "<assembly id='" + std::to_string(id) + "'><parent>" + std::to_string(id == kChain + 1 ? 2 : id + 1) +
                "</parent></assembly>";
    text += "</station></sdf>";
    const auto problems = check(text);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].message, "object 2 is its own ancestor: parents 2 -> 3 -> 4 -> 5 -> 6 -> 7 -> 8 -> 9 -> ... "
                                   "(100000 objects) -> 2");
    EXPECT_EQ(problems[0].ids.size(), kChain);
}

TEST(IdCheck, TheSampleStationIsSound)
{
    std::ifstream in(ZRV_EXAMPLES_DIR "/stations/sample_cell.sdf");
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    EXPECT_EQ(listing(check(text.str())), "");
}

} // namespace
} // namespace sdf
