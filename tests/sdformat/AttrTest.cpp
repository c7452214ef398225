#include <sdformat/Attr.h>
#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/TypeManager.h>

#include <common/ZrvAssert.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace sdf {

// Reaches the operations that only elements use.
struct AttrTestAccess
{
    static Attr makeEmpty() { return Attr(); }
    static std::any value(const Attr& attr) { return attr.value(); }
    static void set(Attr& attr, const std::any& value) { attr.set(value); }
    static std::shared_ptr<Attr> clone(const Attr& attr) { return attr.clone(); }
    static const std::string& Type(const std::type_info& type) { return Attr::Type(type); }
};

} // namespace sdf

using sdf::Attr;
using sdf::AttrTestAccess;
using Pos = zrv::rob::PosTemplate<double>;

namespace {

template <class T>
T Held(const Attr& attr)
{
    return std::any_cast<T>(AttrTestAccess::value(attr));
}

Attr DoubleAttr(double value = 1.5)
{
    return Attr("scale", "double", value, false);
}

} // namespace

TEST(Attr, ConstructorsStoreFieldsAndStartNotSet)
{
    const Attr attr("id", "unsigned int", 7u, true);
    EXPECT_EQ(attr.label(), "id");
    EXPECT_EQ(attr.type(), "unsigned int");
    EXPECT_TRUE(attr.isRequired());
    EXPECT_FALSE(attr.isSet());
    EXPECT_EQ(Held<unsigned int>(attr), 7u);

    sdf::AttrTemplate templ{"pose", "pose", sdf::TypeManager::inst()->fromString("pose", "1 2 3"), false};
    const Attr fromTemplate(templ);
    EXPECT_EQ(fromTemplate.label(), "pose");
    EXPECT_EQ(fromTemplate.type(), "pose");
    EXPECT_FALSE(fromTemplate.isRequired());
    EXPECT_FALSE(fromTemplate.isSet());
    EXPECT_EQ(fromTemplate.asString(), "1 2 3 1 0 0 0");
    // The template keeps its own default.
    EXPECT_EQ(sdf::TypeManager::inst()->toString(templ._default), "1 2 3 1 0 0 0");

    const Attr empty = AttrTestAccess::makeEmpty();
    EXPECT_EQ(empty.label(), "");
    EXPECT_EQ(empty.type(), "");
    EXPECT_FALSE(empty.isRequired());
    EXPECT_FALSE(empty.isSet());
    EXPECT_FALSE(AttrTestAccess::value(empty).has_value());
}

TEST(Attr, FromStringReadsByTheTypeNameAndMarksSet)
{
    Attr scale = DoubleAttr();
    scale.fromString("");
    EXPECT_TRUE(scale.isSet());
    EXPECT_EQ(Held<double>(scale), 0.0);

    scale.fromString("letters");
    EXPECT_EQ(Held<double>(scale), 0.0);
    EXPECT_EQ(scale.asString(), "0");

    scale.fromString("0.1");
    EXPECT_EQ(scale.asString(), "0.1");

    Attr pos("xyz", "pos", Pos{1, 2, 3}, false);
    pos.fromString("");
    EXPECT_EQ(Held<Pos>(pos), (Pos{0, 0, 0}));
    EXPECT_TRUE(pos.isSet());

    Attr flag("static", "bool", false, false);
    EXPECT_EQ(flag.asString(), "false");
    flag.fromString("1");
    EXPECT_EQ(flag.asString(), "true");
}

TEST(Attr, SetTurnsTextIntoStrings)
{
    Attr scale = DoubleAttr();
    AttrTestAccess::set(scale, "12 monkeys");
    EXPECT_TRUE(scale.isSet());
    EXPECT_EQ(Held<std::string>(scale), "12 monkeys");
    EXPECT_EQ(scale.asString(), "12 monkeys");
    EXPECT_EQ(scale.type(), "double");

    char buffer[] = "mutable text";
    AttrTestAccess::set(scale, static_cast<char*>(buffer));
    buffer[0] = 'X';
    EXPECT_EQ(Held<std::string>(scale), "mutable text");

    AttrTestAccess::set(scale, std::string_view("a view").substr(2));
    EXPECT_EQ(Held<std::string>(scale), "view");

    AttrTestAccess::set(scale, static_cast<const char*>(nullptr));
    EXPECT_EQ(Held<std::string>(scale), "");
}

TEST(Attr, SetKeepsUnsignedValuesUnsigned)
{
    Attr id("id", "unsigned int", 0u, false);
    AttrTestAccess::set(id, 5);
    EXPECT_EQ(AttrTestAccess::value(id).type(), typeid(unsigned int));
    EXPECT_EQ(Held<unsigned int>(id), 5u);
    AttrTestAccess::set(id, -1);
    EXPECT_EQ(Held<unsigned int>(id), 4294967295u);
    EXPECT_EQ(id.asString(), "4294967295");
    EXPECT_TRUE(id.isSet());
}

TEST(Attr, SetStoresOtherTypesAsGiven)
{
    Attr scale = DoubleAttr();
    AttrTestAccess::set(scale, 5);
    EXPECT_EQ(AttrTestAccess::value(scale).type(), typeid(int));
    EXPECT_EQ(scale.type(), "double");
    EXPECT_EQ(scale.asString(), "5");
    EXPECT_TRUE(scale.isSet());

    // The int rule applies only to a held unsigned int.
    AttrTestAccess::set(scale, -3);
    EXPECT_EQ(Held<int>(scale), -3);

    Attr text("name", "string", std::string("a"), false);
    AttrTestAccess::set(text, 0.25);
    EXPECT_EQ(Held<double>(text), 0.25);
    EXPECT_EQ(text.asString(), "0.25");
}

TEST(Attr, CopiesKeepTheSetFlagClonesDoNot)
{
    Attr original = DoubleAttr();
    original.fromString("2.5");

    const Attr copy(original);
    EXPECT_TRUE(copy.isSet());
    EXPECT_EQ(copy.asString(), "2.5");

    Attr assigned = DoubleAttr();
    assigned = original;
    EXPECT_TRUE(assigned.isSet());

    Attr moved(std::move(assigned));
    EXPECT_TRUE(moved.isSet());
    EXPECT_EQ(moved.label(), "scale");

    // Assignment from an attribute that is not set clears the flag.
    moved = DoubleAttr();
    EXPECT_FALSE(moved.isSet());

    const auto clone = AttrTestAccess::clone(original);
    EXPECT_FALSE(clone->isSet());
    EXPECT_EQ(clone->label(), original.label());
    EXPECT_EQ(clone->type(), original.type());
    EXPECT_EQ(clone->isRequired(), original.isRequired());
    EXPECT_EQ(clone->asString(), "2.5");
    clone->fromString("9");
    EXPECT_EQ(original.asString(), "2.5");
    EXPECT_EQ(clone->asString(), "9");
}

TEST(Attr, TypeNamesOfStoredTypes)
{
    EXPECT_EQ(AttrTestAccess::Type(typeid(double)), "double");
    EXPECT_EQ(AttrTestAccess::Type(typeid(Pos)), "pos");
    EXPECT_THROW(AttrTestAccess::Type(typeid(float)), std::out_of_range);
}

#if ZRV_ASSERTS_ACTIVE
TEST(AttrDeathTest, PreconditionsNameConditionAndSource)
{
    const Attr odd("ratio", "double", 0.5f, false);
    EXPECT_DEATH(odd.asString(), "\"TypeManager::inst\\(\\)->contains\\(_value.type\\(\\)\\)\" in src/sdformat/Attr");

    Attr unknownType("note", "annotated", std::string("x"), false);
    EXPECT_DEATH(unknownType.fromString("x"), "\"TypeManager::inst\\(\\)->contains\\(_type\\)\" in src/sdformat/Attr");

    Attr empty = AttrTestAccess::makeEmpty();
    EXPECT_DEATH(AttrTestAccess::set(empty, 1.0),
                 "\"TypeManager::inst\\(\\)->contains\\(_value.type\\(\\)\\)\" in src/sdformat/Attr");
}
#else
TEST(Attr, UncheckedPreconditionsFailWithLookupErrors)
{
    const Attr odd("ratio", "double", 0.5f, false);
    EXPECT_THROW(odd.asString(), std::out_of_range);
    Attr unknownType("note", "annotated", std::string("x"), false);
    EXPECT_THROW(unknownType.fromString("x"), std::out_of_range);
    EXPECT_FALSE(unknownType.isSet());
}
#endif

// Attributes share one copy of each name. What they were made from may
// change or go: a buffer reused at the same address for another name, or
// the template an element was made from.
TEST(Attr, NamesStayAsGivenWhateverBecomesOfTheirSource)
{
    std::string buffer = "label_one";
    const Attr first(buffer, "double", 1.0, false);
    buffer.replace(0, buffer.size(), "label_two");
    const Attr second(buffer, "double", 2.0, false);
    buffer.assign("gone");
    EXPECT_EQ(first.label(), "label_one");
    EXPECT_EQ(second.label(), "label_two");
    EXPECT_EQ(&first.type(), &second.type());

    std::shared_ptr<Attr> kept;
    {
        auto templ = std::make_unique<sdf::ElementTemplate>();
        templ->_name = "thing";
        templ->_attributes.push_back(sdf::AttrTemplate{"weight_of_thing", "double", 0.5, false});
        kept = templ->spawn()->attributes().front();
        templ->_attributes.front()._label = "renamed_after_spawn";
    }
    EXPECT_EQ(kept->label(), "weight_of_thing");
    EXPECT_EQ(kept->type(), "double");
}
