// Reading only to check: the same elements and the same errors as reading
// to keep, and nothing kept.

#include <StationGenerator.h>
#include <TreeListing.h>

#include <sdformat/DocumentCheck.h>
#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <exception>
#include <memory>
#include <regex>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

using sdf::CheckVisit;
using sdf::DocumentCheck;

std::vector<std::string> Sorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The exception's type and message, or "none".
template <class Read>
std::string Outcome(Read&& read)
{
    try {
        read();
    } catch (const std::exception& e) {
        return std::string(typeid(e).name()) + ": " + e.what();
    }
    return "none";
}

TEST(DocumentCheck, VisitsEveryElementOfTheKeptTreeOnceAndKeepsNone)
{
    sdf::testing::GeneratorOptions options;
    options.robots = 2;
    options.pathsPerTask = 2;
    std::string text = sdf::testing::GenerateStation(options)->toXMLString("");
    // Left-out required elements are made from their defaults by either read.
    text = std::regex_replace(text, std::regex(" *<(parent|detectable)>[^<]*</(parent|detectable)>\n"), "");

    const auto kept = sdf::SDF::ReadSdfFromString(text);
    std::vector<std::string> visited;
    std::vector<std::weak_ptr<const sdf::Element>> visitedElements;
    std::size_t aliveWhenTheRootIsVisited = 0;
    DocumentCheck::CheckSdfString(text, [&](const CheckVisit& v) {
        visited.push_back(sdf::testing::ListLine(v.element, v.templ, v.depth));
        if (v.depth == 0)
            aliveWhenTheRootIsVisited =
                std::ranges::count_if(visitedElements, [](const auto& e) { return !e.expired(); });
        visitedElements.push_back(v.element.weak_from_this());
    });

    const auto expected = Sorted(sdf::testing::ListTree(*kept->Root()));
    ASSERT_GT(expected.size(), 1000u);
    ASSERT_EQ(text.find("<parent>"), std::string::npos);
    ASSERT_TRUE(std::ranges::any_of(expected, [](const std::string& line) { return line.ends_with(" parent |=0"); }));
    EXPECT_EQ(Sorted(visited), expected);
    // The station was let go as soon as it was visited, before the root.
    EXPECT_EQ(aliveWhenTheRootIsVisited, 0u);
    EXPECT_TRUE(std::ranges::all_of(visitedElements, [](const auto& e) { return e.expired(); }));
}

TEST(DocumentCheck, FailsAsReadingDoes)
{
    const std::string station = "<sdf version='1.0'><station id='1'><name>cell</name>";
    const std::vector<std::string> texts = {
        "<sdf version='1.0'><station id='1'></sdf>",
        "<sdf version='2.0'/>",
        "<other/>",
        station + "<part id='2'><unknown/></part></station></sdf>",
        station + "<part id='2' colour='red'/></station></sdf>",
        station + "<part id='2' id='3'/></station></sdf>",
        station + "<part id='2'><name>a</name></part><part id='3'><name>b</name><part/></part></station></sdf>",
    };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        const std::string read = Outcome([&] { sdf::SDF::ReadSdfFromString(text); });
        EXPECT_NE(read, "none");
        EXPECT_EQ(Outcome([&] { DocumentCheck::CheckSdfString(text, [](const CheckVisit&) {}); }), read);
    }
}

} // namespace
