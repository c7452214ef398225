#include "SmallFormat.h"

#include <sdformat/Element.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/RootElement.h>

#include <gtest/gtest.h>

#include <any>
#include <stdexcept>
#include <string>

using sdf::Element;
using sdf::test::SmallRoot;

namespace {

std::shared_ptr<Element> NewStation()
{
    static auto root = sdf::CreateRootElement();
    return root->append("station");
}

std::shared_ptr<Element> NewProperty() { return NewStation()->touch("smart_component/property"); }

} // namespace

TEST(TypedValues, DefaultOfATypedElementReadsWithoutBeingSet)
{
    auto c = SmallRoot()->append("c");
    EXPECT_EQ(c->asDouble(), 1.5);
    EXPECT_EQ(c->as<double>(""), 1.5);
    EXPECT_EQ(c->type_info(), typeid(double));
    EXPECT_EQ(c->getStringFromValue(), "1.5");
}

TEST(TypedValues, ReadersCastAndDoNotConvert)
{
    auto c = SmallRoot()->append("c");
    EXPECT_THROW(c->asString(), std::bad_any_cast);
    EXPECT_THROW(c->asInt(), std::bad_any_cast);
    auto station = NewStation();
    EXPECT_THROW(station->asDouble("next_dataid"), std::bad_any_cast);
    EXPECT_EQ(station->asUInt("next_dataid"), 1u);
    EXPECT_EQ(station->asPose("last_viewpoint_pose"), zrv::rob::PoseTemplate<double>{});
    EXPECT_EQ(station->type_info("last_viewpoint_pose"), typeid(zrv::rob::PoseTemplate<double>));
}

TEST(TypedValues, ReadingThroughAPathCreatesMissingElements)
{
    auto station = NewStation();
    const auto before = station->count();
    EXPECT_EQ(station->asString("name"), "");
    ASSERT_EQ(station->count(), before + 1);
    EXPECT_EQ(station->elements().back()->label(), "name");

    auto part = station->append("part");
    EXPECT_TRUE(part->asBool("detectable"));
    EXPECT_TRUE(part->exists("detectable"));
}

TEST(TypedValues, ValueOrCreatesNothing)
{
    auto station = NewStation();
    const auto before = station->count();
    EXPECT_EQ(station->valueOr<std::string>("name", ""), "");
    EXPECT_EQ(station->valueOr<std::string>("part/name", "none"), "none");
    EXPECT_EQ(station->count(), before);
    station->set<std::string>("name", "cell");
    EXPECT_EQ(station->valueOr<std::string>("name", ""), "cell");
    EXPECT_THROW(station->valueOr<double>("name", 0.0), std::bad_any_cast);
}

TEST(TypedValues, SetWritesAtThePathAndReturnsTheElementItself)
{
    auto part = NewStation()->append("part");
    EXPECT_FALSE(part->exists("parent"));
    EXPECT_EQ(part->set<unsigned int>("parent", 5u), part);
    EXPECT_EQ(part->asUInt("parent"), 5u);
    EXPECT_EQ(part->elements().back()->label(), "parent");

    // The text types are held as std::string.
    part->set("uri", "file.stl");
    EXPECT_EQ(part->asString("uri"), "file.stl");
    part->set<std::string_view>("name", "box");
    EXPECT_EQ(part->asString("name"), "box");
}

TEST(TypedValues, FirstWriteToAnAnnotatedValueFixesItsType)
{
    auto property = NewProperty();
    auto value = property->get("value");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->count(), 0u);

    EXPECT_EQ(property->set<double>("value", 2.5), property);
    EXPECT_EQ(value->type_info(), typeid(double));
    EXPECT_EQ(value->asDouble(), 2.5);
    EXPECT_EQ(property->getStringFromValue(), "2.5");
    EXPECT_EQ(value->getStringFromValue(), "2.5");
    // The type is recorded in a `type` attribute of type "string".
    ASSERT_EQ(value->attributes().size(), 1u);
    EXPECT_EQ(value->attributes()[0]->label(), "type");
    EXPECT_EQ(value->attributes()[0]->type(), "string");
    EXPECT_EQ(value->attributes()[0]->asString(), "double");

    // Later writes keep both the recorded type and the type attribute.
    property->set<std::string>("value", "text");
    EXPECT_EQ(value->asString(), "text");
    EXPECT_EQ(property->getStringFromValue(), "text");
    ASSERT_EQ(value->attributes().size(), 1u);
    EXPECT_EQ(value->attributes()[0]->asString(), "double");

    // Text goes through the recorded type.
    property->setValueFromString("1");
    EXPECT_EQ(value->asDouble(), 1.0);
}

TEST(TypedValues, RecordedTypeIsKeptInTheTypeAttribute)
{
    auto root = SmallRoot();
    auto any = root->append("any");
    any->setValue(7u);
    EXPECT_EQ(any->asUInt(), 7u);
    ASSERT_EQ(any->attributes().size(), 1u);
    EXPECT_EQ(any->attributes()[0]->asString(), "unsigned int");
    // The clone of an annotated element carries the recorded type along.
    auto copy = any->clone();
    copy->setValueFromString("12");
    EXPECT_EQ(copy->asUInt(), 12u);
    any->setValue(std::string("9"));
    any->setValueFromString("11");
    EXPECT_EQ(any->asUInt(), 11u);
}

TEST(TypedValues, AnnotatedWriteOfAnUnregisteredTypeFailsAndChangesNothing)
{
    auto any = SmallRoot()->append("any");
    EXPECT_THROW(any->setValue(std::string_view("x")), std::out_of_range);
    EXPECT_THROW(any->setValue(2.5f), std::out_of_range);
    EXPECT_TRUE(any->attributes().empty());
    any->setValue(std::string("x"));
    EXPECT_EQ(any->asString(), "x");
    EXPECT_EQ(any->attributes().at(0)->asString(), "string");
}

TEST(TypedValues, TextAccessFallsBackToTheValueChild)
{
    auto root = SmallRoot();
    root->append("value")->setValue(true);
    EXPECT_EQ(root->getStringFromValue(), "true");
    root->setValueFromString("false");
    EXPECT_FALSE(root->asBool("value"));

    // An element with a value of its own uses that one.
    auto c = root->append("c");
    c->setValueFromString("not a number");
    EXPECT_EQ(c->asDouble(), 0.0);
}

TEST(TypedValues, AppendObjectGivesTheNewChildAnIdAndAName)
{
    auto station = NewStation();
    auto part = station->appendObject("part", 12, "Box");
    EXPECT_EQ(station->elements().back(), part);
    EXPECT_EQ(part->label(), "part");
    EXPECT_EQ(part->getId(true), 12u);
    ASSERT_GT(part->count(), 0u);
    EXPECT_EQ(part->elements().back()->label(), "name");
    EXPECT_EQ(part->asString("name"), "Box");
    EXPECT_THROW(station->appendObject("nothing", 1, "x"), std::logic_error);
}

#if ZRV_ASSERTS_ACTIVE
TEST(TypedValuesDeathTest, ValuesOfContainersAreCallerErrors)
{
    EXPECT_DEATH(SmallRoot()->append("b")->asDouble(), "ASSERT failure: \"v\" in src/sdformat/Element");
    EXPECT_DEATH(SmallRoot()->append("b")->setValue(1.0), "ASSERT failure: \"isAnnotated\\(\\)\" in src/sdformat/Element");
    EXPECT_DEATH(
        {
            auto root = SmallRoot();
            root->append("b");
            root->valueOr<double>("b", 0.0);
        },
        "ASSERT failure: \"el->_value\" in src/sdformat/Element");
    EXPECT_DEATH(NewProperty()->setValueFromString("1"), "ASSERT failure: \"el && el->_value\" in src/sdformat/Element");
    EXPECT_DEATH(SmallRoot()->append("any")->asDouble(), "ASSERT failure: \"v\" in src/sdformat/Element");
}
#endif
