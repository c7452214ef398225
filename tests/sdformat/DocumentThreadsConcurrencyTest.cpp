// Large documents are built and written on several threads. Whatever the number of
// threads, a read must give the tree a single thread gives, parents and
// left-out required children included, and a bad document the error a
// single thread meets first.

#include <sdformat/DocumentThreads.h>
#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

// Restores the automatic choice when a test ends.
struct ThreadCount
{
    ~ThreadCount() { sdf::detail::SetDocumentThreads(0); }
};

// About 1.7 MB: parts, each small enough to be built whole by one thread,
// and a smart component large enough to be split itself. Parts leave out
// their required pose, which reading adds. before and after go into the
// first and the last part.
std::string LargeStation(const std::string& inFirstPart = "", const std::string& inComponent = "",
                         const std::string& inLastPart = "")
{
    constexpr int kParts = 9000;
    constexpr int kProperties = 9000;
    std::string text = "<sdf version='1.0'>\n    <station id='1'>\n        <name>big</name>\n";
    int id = 2;
    auto part = [&](const std::string& extra) {
        const std::string number = std::to_string(id++);
        text += "        <part id='" + number + "'>\n            <name>part " + number + "</name>\n" + extra +
                "        </part>\n";
    };
    part(inFirstPart);
    for (int i = 1; i < kParts / 2; ++i)
        part("");
    text += "        <smart_component id='" + std::to_string(id++) + "'>\n";
    for (int i = 0; i < kProperties; ++i)
        text += "            <property id='" + std::to_string(id++) + "'>\n                <value type='double'>" +
                std::to_string(i) + ".5</value>\n            </property>\n";
    text += inComponent + "        </smart_component>\n";
    for (int i = 1; i < kParts / 2; ++i)
        part("");
    part(inLastPart);
    text += "    </station>\n</sdf>\n";
    return text;
}

std::string ReadOn(unsigned threads, const std::string& text)
{
    sdf::detail::SetDocumentThreads(threads);
    return sdf::SDF::ReadSdfFromString(text)->Root()->toXMLString("");
}

std::string ErrorOn(unsigned threads, const std::string& text)
{
    sdf::detail::SetDocumentThreads(threads);
    try {
        sdf::SDF::ReadSdfFromString(text);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

// Every element's parent is the element that lists it.
int CountMislinked(const sdf::Element& element)
{
    int mislinked = 0;
    for (const auto& child : element.elements()) {
        if (child->parent().get() != &element)
            ++mislinked;
        mislinked += CountMislinked(*child);
    }
    return mislinked;
}

} // namespace

TEST(DocumentThreadsConcurrency, LargeDocumentReadsAsOnOneThread)
{
    const ThreadCount restore;
    const std::string text = LargeStation();
    ASSERT_GT(text.size(), 1'500'000U);
    const std::string alone = ReadOn(1, text);
    EXPECT_NE(alone.find("<pose>"), std::string::npos) << "left-out poses are added";
    for (unsigned threads : {2U, 3U}) {
        // Compared as a whole: a failure's line diff of megabytes would take minutes.
        EXPECT_TRUE(ReadOn(threads, text) == alone) << threads << " threads";
        sdf::detail::SetDocumentThreads(threads);
        EXPECT_EQ(CountMislinked(*sdf::SDF::ReadSdfFromString(text)->Root()), 0) << threads << " threads";
    }
}

TEST(DocumentThreadsConcurrency, LargeDocumentReportsTheFirstErrorInDocumentOrder)
{
    const ThreadCount restore;
    const std::string badAttribute = "            <pose colour='red'>0 0 0 1 0 0 0</pose>\n";
    const std::string badElement = "            <bogus/>\n";
    struct Case
    {
        const char* what;
        std::string text;
        const char* expected;
    };
    const Case cases[] = {
        {"a unit before a spine element", LargeStation(badAttribute, badElement, ""),
         "unknown attribute 'colour' in element 'pose'"},
        {"a spine element before a unit", LargeStation("", badElement, badAttribute),
         "element 'smart_component' does not have 'bogus' child element"},
        {"the last unit alone", LargeStation("", "", badElement), "element 'part' does not have 'bogus' child element"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOn(1, c.text), c.expected) << c.what;
        EXPECT_EQ(ErrorOn(2, c.text), c.expected) << c.what;
        EXPECT_EQ(ErrorOn(3, c.text), c.expected) << c.what;
    }
}

TEST(DocumentThreadsConcurrency, LargeDocumentWritesAsOnOneThread)
{
    const ThreadCount restore;
    sdf::detail::SetDocumentThreads(1);
    const auto document = sdf::SDF::ReadSdfFromString(LargeStation());
    const auto& root = *document->Root();
    const auto& component = **root.elements().front()->children("smart_component").begin();
    const std::string alone = root.toXMLString("  ");
    const std::string componentAlone = component.toXMLString("\t");
    for (unsigned threads : {2U, 3U}) {
        sdf::detail::SetDocumentThreads(threads);
        for (int round = 0; round < 3; ++round) {
            EXPECT_TRUE(root.toXMLString("  ") == alone) << threads << " threads";
            EXPECT_TRUE(component.toXMLString("\t") == componentAlone) << threads << " threads";
        }
    }
}

TEST(DocumentThreadsConcurrency, LargeDocumentRefusesTheFirstUnwritableText)
{
    const ThreadCount restore;
    sdf::detail::SetDocumentThreads(1);
    const auto document = sdf::SDF::ReadSdfFromString(LargeStation());
    const auto& station = document->Root()->elements().front();
    station->elements().at(8000)->set("name", std::string("late\x01"));
    station->elements().at(8990)->set("name", std::string("later\x02"));
    for (unsigned threads : {1U, 2U, 3U}) {
        sdf::detail::SetDocumentThreads(threads);
        try {
            document->Root()->toXMLString("");
            ADD_FAILURE() << threads << " threads wrote it";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "cannot write '/sdf/station/part/name': its value holds U+0001, which XML cannot carry")
                << threads << " threads";
        }
    }
}
