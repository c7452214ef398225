#include "DescriptionTexts.h"

#include <sdformat/ElementTemplate.h>
#include <sdformat/PosTemplate.h>

#include <common/ZrvAssert.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <any>
#include <stdexcept>
#include <string>

namespace sdf {
namespace {

using test::BuildFromText;

// The text of the error that building from the description raises.
template <class Error>
std::string errorOf(const std::string& text)
{
    try {
        BuildFromText(text);
    } catch (const Error& error) {
        return error.what();
    }
    return "<no error>";
}

TEST(ElementTemplate, BuildsNameValueAttributesAndChildrenInOrder)
{
    const ElementTemplate t = BuildFromText(R"(
        <element name="joint" required="1" type="double" default="2.5">
          <description>a joint</description>
          <attribute name="id" type="unsigned int" default="7" required="1">
            <description>its id</description>
          </attribute>
          <attribute name="label" type="string" default=" a b " required="0"/>
          <element name="axis" required="0" type="vector3" default="0 0 1"/>
          <element name="limits" required="*">
            <element name="lower" required="1" type="double" default="-1e16"/>
          </element>
          <note>not part of the language</note>
        </element>)");

    EXPECT_EQ(t._name, "joint");
    EXPECT_TRUE(t._required);
    EXPECT_FALSE(t._annotated);
    ASSERT_TRUE(t.hasValue());
    EXPECT_EQ(t._value._label, "joint");
    EXPECT_EQ(t._value._type, "double");
    EXPECT_EQ(std::any_cast<double>(t._value._default), 2.5);
    EXPECT_TRUE(t._value._required);

    ASSERT_EQ(t._attributes.size(), 2u);
    EXPECT_EQ(t._attributes[0]._label, "id");
    EXPECT_EQ(t._attributes[0]._type, "unsigned int");
    EXPECT_EQ(std::any_cast<unsigned int>(t._attributes[0]._default), 7u);
    EXPECT_TRUE(t._attributes[0]._required);
    EXPECT_EQ(t._attributes[1]._label, "label");
    EXPECT_EQ(std::any_cast<std::string>(t._attributes[1]._default), " a b ");
    EXPECT_FALSE(t._attributes[1]._required);

    ASSERT_EQ(t._children.size(), 2u);
    EXPECT_EQ(t._children[0]._name, "axis");
    EXPECT_FALSE(t._children[0]._required);
    EXPECT_FALSE(t._children[1]._required);
    EXPECT_FALSE(t._children[1].hasValue());
    ASSERT_EQ(t._children[1]._children.size(), 1u);
    EXPECT_EQ(std::any_cast<double>(t._children[1]._children[0]._value._default), -1e16);
}

TEST(ElementTemplate, RequiredCodeIsReadByItsFirstCharacter)
{
    for (const char* yes : {"1", "true", "yes", "T", "Y", "10"}) {
        SCOPED_TRACE(yes);
        EXPECT_TRUE(BuildFromText(fmt::format(R"(<element name="e" required="{}"/>)", yes))._required);
    }
    for (const char* no : {"0", "*", "", "false", "no", " 1", "2"}) {
        SCOPED_TRACE(no);
        EXPECT_FALSE(BuildFromText(fmt::format(R"(<element name="e" required="{}"/>)", no))._required);
    }
    const ElementTemplate attributes = BuildFromText(R"(
        <element name="e" required="0">
          <attribute name="a" type="int" default="1" required="yes"/>
          <attribute name="b" type="int" default="1" required="*"/>
        </element>)");
    EXPECT_TRUE(attributes._attributes[0]._required);
    EXPECT_FALSE(attributes._attributes[1]._required);
}

TEST(ElementTemplate, ContainersAndAnnotatedElementsHaveNoValueTemplate)
{
    // Without a type the default is not read at all, so none is needed.
    for (const char* text : {R"(<element name="c" required="1"/>)", R"(<element name="c" required="1" type=""/>)"}) {
        SCOPED_TRACE(text);
        const ElementTemplate container = BuildFromText(text);
        EXPECT_FALSE(container.hasValue());
        EXPECT_FALSE(container._annotated);
        EXPECT_TRUE(container._value._type.empty());
        EXPECT_FALSE(container._value._default.has_value());
    }

    const ElementTemplate annotated = BuildFromText(R"(<element name="v" required="1" type="annotated"/>)");
    EXPECT_TRUE(annotated._annotated);
    EXPECT_FALSE(annotated.hasValue());
    EXPECT_FALSE(annotated._value._default.has_value());
}

TEST(ElementTemplate, DefaultsAreConvertedByTheTypeReader)
{
    const ElementTemplate t = BuildFromText(R"(
        <element name="e" required="0">
          <element name="origin" required="0" type="pos" default=""/>
          <element name="flag" required="0" type="bool" default="1"/>
          <element name="off" required="0" type="bool" default="0"/>
        </element>)");
    EXPECT_EQ(std::any_cast<zrv::rob::PosTemplate<double>>(t.child("origin")._value._default),
              (zrv::rob::PosTemplate<double>{0, 0, 0}));
    EXPECT_TRUE(std::any_cast<bool>(t.child("flag")._value._default));
    EXPECT_FALSE(std::any_cast<bool>(t.child("off")._value._default));
}

TEST(ElementTemplate, MissingMandatoryAttributesAreNamed)
{
    using E = std::runtime_error;
    EXPECT_EQ(errorOf<E>(R"(<element required="1"/>)"), "Element is missing the 'name' attribute");
    EXPECT_EQ(errorOf<E>(R"(<element name="e"/>)"), "Element is missing the 'required' attribute");
    EXPECT_EQ(errorOf<E>(R"(<element name="e" required="1" type="double"/>)"),
              "Element is missing the 'default' attribute");

    const auto attribute = [](const char* attributes) {
        return errorOf<E>(fmt::format(R"(<element name="e" required="1"><attribute {}/></element>)", attributes));
    };
    EXPECT_EQ(attribute(R"(type="int" default="0" required="1")"), "Element is missing the 'name' attribute");
    EXPECT_EQ(attribute(R"(name="a" default="0" required="1")"), "Element is missing the 'type' attribute");
    EXPECT_EQ(attribute(R"(name="a" type="int" required="1")"), "Element is missing the 'default' attribute");
    EXPECT_EQ(attribute(R"(name="a" type="int" default="0")"), "Element is missing the 'required' attribute");

    // Deep in the tree the error still reaches the caller.
    EXPECT_EQ(errorOf<E>(R"(<element name="e" required="1"><element name="f"><element required="0"/></element></element>)"),
              "Element is missing the 'required' attribute");
}

TEST(ElementTemplate, UnregisteredTypesFailWithOutOfRange)
{
    EXPECT_THROW(BuildFromText(R"(<element name="e" required="1" type="float" default="1"/>)"), std::out_of_range);
    EXPECT_THROW(BuildFromText(R"(<element name="e" required="1" type="Double" default="1"/>)"), std::out_of_range);
    // "annotated" marks elements only; an attribute needs a real type.
    EXPECT_THROW(BuildFromText(R"(<element name="e" required="1">
                                    <attribute name="a" type="annotated" default="" required="0"/></element>)"),
                 std::out_of_range);
    EXPECT_THROW(BuildFromText(R"(<element name="e" required="1">
                                    <attribute name="a" type="" default="" required="0"/></element>)"),
                 std::out_of_range);
}

TEST(ElementTemplate, ChildFindsTheFirstOfThatName)
{
    const ElementTemplate t = BuildFromText(R"(
        <element name="tool" required="1">
          <element name="parent" required="1" type="string" default="own"/>
          <element name="mass" required="0" type="double" default="1"/>
          <element name="parent" required="0" type="unsigned int" default="9999"/>
        </element>)");
    const ElementTemplate& parent = t.child("parent");
    EXPECT_EQ(&parent, &t._children[0]);
    EXPECT_EQ(std::any_cast<std::string>(parent._value._default), "own");
    EXPECT_EQ(&t.child("mass"), &t._children[1]);

    try {
        (void)t.child("Parent");
        FAIL() << "a name no child has was found";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "element 'tool' does not have 'Parent' child element");
    }
    EXPECT_THROW((void)t.child(""), std::logic_error);
}

#if ZRV_ASSERTS_ACTIVE
TEST(ElementTemplateDeathTest, DuplicateAttributeNamesBreakThePrecondition)
{
    EXPECT_DEATH(BuildFromText(R"(<element name="e" required="1">
                                    <attribute name="id" type="int" default="0" required="1"/>
                                    <attribute name="id" type="int" default="1" required="0"/>
                                  </element>)"),
                 R"re(ASSERT failure: "!std::ranges::contains\(_attributes, n, .*\)" in src/sdformat/ElementTemplate)re");
}
#endif

} // namespace
} // namespace sdf
