#include "DescriptionTexts.h"

#include <sdformat/ElementTemplate.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace sdf {
namespace {

using test::DescriptionTexts;

TEST(BuildRootTemplate, TakesTheFirstTopLevelElementOfRootSdf)
{
    DescriptionTexts texts;
    texts.add("root.sdf", R"(<attribute name="x" type="int" default="0" required="0"/>
                             <include filename="doc.sdf"/>
                             <element name="second" required="0"/>)")
        .add("doc.sdf", R"(<element name="sdf" required="1">
                             <attribute name="version" type="string" default="1.0" required="1"/>
                             <element name="station" required="0"/>
                           </element>)");
    const ElementTemplate root = BuildRootTemplate(texts.lookup());
    EXPECT_EQ(root._name, "sdf");
    ASSERT_EQ(root._attributes.size(), 1u);
    EXPECT_EQ(root._attributes[0]._label, "version");
    ASSERT_EQ(root._children.size(), 1u);
    EXPECT_EQ(root._children[0]._name, "station");
}

TEST(BuildRootTemplate, FailsWithoutATopLevelElement)
{
    DescriptionTexts texts;
    texts.add("root.sdf", R"(<attribute name="x" type="int" default="0" required="0"/><elements/>)");
    try {
        BuildRootTemplate(texts.lookup());
        FAIL() << "built a root template from no element";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "no <element>");
    }

    EXPECT_THROW(BuildRootTemplate(DescriptionTexts().lookup()), std::out_of_range);
}

} // namespace
} // namespace sdf
