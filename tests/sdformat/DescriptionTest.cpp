#include "DescriptionTexts.h"

#include <sdformat/ElementTemplate.h>

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

namespace sdf {
namespace {

using test::DescriptionTexts;

// The document as one line of XML, so that whole expansions compare at once.
std::string compact(const pugi::xml_node& node)
{
    std::ostringstream out;
    node.print(out, "", pugi::format_raw);
    return out.str();
}

std::string loaded(const DescriptionTexts& texts, std::string_view fileName)
{
    pugi::xml_document document;
    LoadDescription(document, fileName, texts.lookup());
    return compact(document);
}

template <class Error>
std::string loadError(const DescriptionTexts& texts, std::string_view fileName)
{
    try {
        loaded(texts, fileName);
    } catch (const Error& error) {
        return error.what();
    }
    return "<no error>";
}

TEST(LoadDescription, RejectsEmptyAndMalformedTexts)
{
    DescriptionTexts texts;
    texts.add("empty.sdf", "")
        .add("blank.sdf", "  \n")
        .add("unclosed.sdf", R"(<element name="a" required="1">)")
        .add("garbage.sdf", "<<>>")
        .add("includes_bad.sdf", R"(<element name="a" required="1"><include filename="unclosed.sdf"/></element>)")
        .add("includes_empty.sdf", R"(<include filename="empty.sdf"/>)");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "empty.sdf"), "no xml data");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "unclosed.sdf"), "parse xml error");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "garbage.sdf"), "parse xml error");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "includes_bad.sdf"), "parse xml error");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "includes_empty.sdf"), "no xml data");
    // Text that holds no element at all is not a description either.
    EXPECT_EQ(loadError<std::runtime_error>(texts, "blank.sdf"), "parse xml error");
}

TEST(LoadDescription, UnknownFilesFailWithOutOfRange)
{
    DescriptionTexts texts;
    texts.add("a.sdf", R"(<element name="a" required="1"><include filename="missing.sdf"/></element>)")
        .add("nameless.sdf", R"(<include/>)");
    EXPECT_THROW(loaded(texts, "nowhere.sdf"), std::out_of_range);
    EXPECT_THROW(loaded(texts, "a.sdf"), std::out_of_range);
    // An include without a file name asks for the empty name.
    EXPECT_THROW(loaded(texts, "nameless.sdf"), std::out_of_range);
}

TEST(LoadDescription, ParsesWithTheDefaultOptions)
{
    DescriptionTexts texts;
    texts.add("a.sdf", "<?xml version=\"1.0\"?>\n<!-- about a -->\n"
                       "<element name=\"a&amp;b\" required=\"1\" type=\"string\" default=\"x&#x20;\ty\">\n"
                       "  <?target ignored?>\n"
                       "  <description><![CDATA[<kept>]]></description>\n"
                       "</element>\n");
    EXPECT_EQ(loaded(texts, "a.sdf"),
              R"(<element name="a&amp;b" required="1" type="string" default="x  y"><description><![CDATA[<kept>]]></description></element>)");
}

TEST(LoadDescription, IncludesTakeTheirPlaceInOrder)
{
    DescriptionTexts texts;
    texts.add("root.sdf", R"(<element name="root" required="1">
                               <include filename="object.sdf"/>
                               <element name="own" required="1"/>
                               <include filename="pair.sdf"/>
                             </element>)")
        .add("object.sdf", R"(<attribute name="id" type="int" default="0" required="1"/>
                              <element name="name" required="1"/>
                              <element name="parent" required="1"/>)")
        .add("pair.sdf", R"(<element name="first" required="0"><include filename="leaf.sdf"/></element>
                            <include filename="leaf.sdf"/>)")
        .add("leaf.sdf", R"(<element name="leaf" required="0"/>)");

    EXPECT_EQ(loaded(texts, "root.sdf"),
              R"(<element name="root" required="1">)"
              R"(<attribute name="id" type="int" default="0" required="1"/>)"
              R"(<element name="name" required="1"/><element name="parent" required="1"/>)"
              R"(<element name="own" required="1"/>)"
              R"(<element name="first" required="0"><element name="leaf" required="0"/></element>)"
              R"(<element name="leaf" required="0"/>)"
              R"(</element>)");
}

TEST(LoadDescription, IncludesAreExpandedWhereverTheyStand)
{
    DescriptionTexts texts;
    texts.add("top.sdf", R"(<include filename="leaf.sdf"/><other><include filename="leaf.sdf"/></other>)")
        .add("leaf.sdf", R"(<element name="leaf" required="0"/>)");
    EXPECT_EQ(loaded(texts, "top.sdf"),
              R"(<element name="leaf" required="0"/><other><element name="leaf" required="0"/></other>)");
}

TEST(LoadDescription, ACycleOfIncludesFailsNamingTheFile)
{
    DescriptionTexts texts;
    texts.add("self.sdf", R"(<element name="s" required="1"><include filename="self.sdf"/></element>)")
        .add("a.sdf", R"(<element name="a" required="1"><include filename="b.sdf"/></element>)")
        .add("b.sdf", R"(<element name="b" required="1"><include filename="c.sdf"/></element>)")
        .add("c.sdf", R"(<include filename="a.sdf"/>)")
        .add("enters.sdf", R"(<include filename="b.sdf"/>)");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "self.sdf"), "include cycle through 'self.sdf'");
    EXPECT_EQ(loadError<std::runtime_error>(texts, "a.sdf"), "include cycle through 'a.sdf'");
    // Entering the cycle from outside names the first file met again.
    EXPECT_EQ(loadError<std::runtime_error>(texts, "enters.sdf"), "include cycle through 'b.sdf'");
}

TEST(LoadDescription, AFileIncludedOnSeveralPathsIsNoCycle)
{
    DescriptionTexts texts;
    texts.add("top.sdf", R"(<include filename="left.sdf"/><include filename="right.sdf"/>)")
        .add("left.sdf", R"(<l><include filename="shared.sdf"/></l>)")
        .add("right.sdf", R"(<r><include filename="shared.sdf"/><include filename="shared.sdf"/></r>)")
        .add("shared.sdf", R"(<s/>)");
    EXPECT_EQ(loaded(texts, "top.sdf"), "<l><s/></l><r><s/><s/></r>");
}

TEST(ExpandIncludes, ExpandsASubtreeInPlace)
{
    DescriptionTexts texts;
    texts.add("leaf.sdf", R"(<element name="leaf" required="0"/>)")
        .add("loop.sdf", R"(<include filename="loop.sdf"/>)");

    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(R"(<a><b><include filename="leaf.sdf"/>text</b><include filename="leaf.sdf"/></a>)"));
    ExpandIncludes(document.child("a").child("b"), texts.lookup());
    // Only the subtree given is touched.
    EXPECT_EQ(compact(document),
              R"(<a><b><element name="leaf" required="0"/>text</b><include filename="leaf.sdf"/></a>)");

    ASSERT_TRUE(document.load_string(R"(<a><include filename="loop.sdf"/></a>)"));
    EXPECT_THROW(ExpandIncludes(document, texts.lookup()), std::runtime_error);
}

TEST(ExpandIncludes, ReadsTheEmbeddedCatalogueByDefault)
{
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(R"(<a><include filename="no such file.sdf"/></a>)"));
    EXPECT_THROW(ExpandIncludes(document), std::out_of_range);
    EXPECT_THROW(LoadDescription(document, "no such file.sdf"), std::out_of_range);
}

} // namespace
} // namespace sdf
