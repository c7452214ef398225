// Round trip as a property: for generated stations of many seeds and sizes,
// writing, reading back and writing again gives the same bytes, and the tree
// read back matches the generated one label for label, attribute text for
// attribute text and value text for value text.

#include <GeneratorRandom.h>
#include <StationGenerator.h>
#include <TreeListing.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using sdf::testing::GeneratorOptions;

// The line of text at which two documents part, for a readable failure.
std::string FirstDifferingLine(std::string_view a, std::string_view b)
{
    std::size_t line = 1;
    std::size_t start = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (a[i] != b[i]) {
            const auto end = [&](std::string_view s) { return s.substr(start, s.find('\n', start) - start); };
            return "line " + std::to_string(line) + ":\n  written: " + std::string(end(a)) +
                   "\n  rewritten: " + std::string(end(b));
        }
        if (a[i] == '\n') {
            ++line;
            start = i + 1;
        }
    }
    return "one text is a prefix of the other, at line " + std::to_string(line);
}

std::string ListingMismatch(const std::vector<std::string>& expected, const std::vector<std::string>& actual)
{
    const std::size_t at = sdf::testing::FirstDifference(expected, actual);
    if (at == std::string::npos)
        return {};
    auto line = [at](const std::vector<std::string>& l) { return at < l.size() ? l[at] : std::string("<end>"); };
    return "element " + std::to_string(at) + ":\n  generated: " + line(expected) + "\n  read back: " + line(actual);
}

// Writes the generated tree, reads it back, writes it again; both texts and
// both trees must agree.
void ExpectRoundTrip(const std::shared_ptr<sdf::Element>& generated, const std::string& what)
{
    SCOPED_TRACE(what);
    const std::string written = generated->toXMLString("");
    const auto document = sdf::SDF::ReadSdfFromString(written);
    const std::string rewritten = document->Root()->toXMLString("");
    EXPECT_TRUE(written == rewritten) << FirstDifferingLine(written, rewritten);
    const std::string mismatch =
        ListingMismatch(sdf::testing::ListTree(*generated), sdf::testing::ListTree(*document->Root()));
    EXPECT_TRUE(mismatch.empty()) << mismatch;
}

TEST(RoundTrip, GeneratedStationsOfManySeedsAndSizes)
{
    // Small stations vary in everything the generator draws at random;
    // a few larger ones add more robots, paths and operations.
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        GeneratorOptions options;
        options.seed = seed;
        options.robots = 1 + static_cast<unsigned>(seed % 3);
        options.pathsPerTask = static_cast<unsigned>(seed % 3);
        options.instructionsPerPath = 1 + static_cast<unsigned>(seed % 5);
        options.partsPerRobot = static_cast<unsigned>(seed % 2) + 1;
        options.operationsPerTask = static_cast<unsigned>(seed % 4);
        ExpectRoundTrip(sdf::testing::GenerateStation(options), "seed " + std::to_string(seed));
    }
    GeneratorOptions large;
    large.seed = 101;
    large.robots = 4;
    large.pathsPerTask = 3;
    large.instructionsPerPath = 8;
    large.operationsPerTask = 4;
    ExpectRoundTrip(sdf::testing::GenerateStation(large), "large");
}

TEST(RoundTrip, StationWithoutPathsPartsOrOperations)
{
    GeneratorOptions options;
    options.robots = 1;
    options.pathsPerTask = 0;
    options.partsPerRobot = 0;
    options.operationsPerTask = 0;
    ExpectRoundTrip(sdf::testing::GenerateStation(options), "bare station");
}

// The annotated values that come back carry every registered type, and an
// empty string comes back as an empty string, not as a missing value.
TEST(RoundTrip, AnnotatedValuesOfEveryTypeComeBack)
{
    const auto generated = sdf::testing::GenerateStation({});
    const auto read = sdf::SDF::ReadSdfFromString(generated->toXMLString(""));
    std::set<std::string> types;
    bool emptyString = false;
    for (const std::string& line : sdf::testing::ListTree(*read->Root())) {
        const auto at = line.find(" |@type=");
        if (at == std::string::npos)
            continue;
        const auto value = line.find(" |=", at);
        ASSERT_NE(value, std::string::npos) << line;
        const std::string type = line.substr(at + 8, value - at - 8);
        types.insert(type);
        emptyString = emptyString || (type == "string" && value + 3 == line.size());
    }
    EXPECT_EQ(types.size(), 16U);
    EXPECT_TRUE(emptyString);
}

// Texts people type into names and comments: markup characters, quotes,
// non-ASCII, tabs, line feeds and carriage returns, leading and trailing spaces, and the
// empty text, in every combination the draw gives.
TEST(RoundTrip, ArbitraryTextsInNamesAndAnnotatedStrings)
{
    static constexpr std::string_view kPieces[] = {"a", "Z", "0", " ", "&", "<", ">", "'", "\"", "&amp;", "]]>",
                                                   "\t", "\n", "\r", "ä", "€", "漢", ";", "=", "/", "<!--"};
    sdf::testing::GeneratorRandom rng(2024);
    auto root = sdf::SDF::SpawnFromRootTemplate()->Root();
    auto station = root->append("station");
    for (unsigned i = 0; i < 300; ++i) {
        std::string text;
        for (unsigned n = rng.below(8); n > 0; --n)
            text += rng.pick(std::span<const std::string_view>(kPieces));
        // A text of white space only reads back as no text at all; the
        // writer does not promise to keep it.
        if (text.find_first_not_of(" \t\n\r") == std::string::npos)
            text = "x" + text;
        auto item = station->appendObject("frame", i + 1, text);
        item->append("child")->setValue(i);
        auto task = station->appendObject("task", 1000 + i, "T");
        task->append("dataitem")->set<std::string>("value", i % 5 == 0 ? std::string() : text);
    }
    ExpectRoundTrip(root, "arbitrary texts");
}

} // namespace
