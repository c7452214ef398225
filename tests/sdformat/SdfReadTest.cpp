#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using sdf::SDF;
using sdf::test::ExpectThrowExactly;
using sdf::test::Labels;

namespace {

std::shared_ptr<sdf::Element> ReadStation(const std::string& stationBody)
{
    return SDF::ReadSdfFromString("<sdf version='1.0'><station>" + stationBody + "</station></sdf>")->Root()->get("station");
}

void ExpectReadFails(const std::string& text, const std::string& message)
{
    ExpectThrowExactly<std::runtime_error>([&] { SDF::ReadSdfFromString(text); }, message);
}

} // namespace

// ---- the document element and the version -----------------------------------

TEST(SdfRead, EmptySdfIsARootWithItsVersionSetAndNoChildren)
{
    auto root = SDF::ReadSdfFromString("<sdf version=\"1.0\"/>")->Root();
    EXPECT_EQ(root->label(), "sdf");
    EXPECT_EQ(root->count(), 0u);
    ASSERT_EQ(root->attributes().size(), 1u);
    EXPECT_EQ(root->attributes()[0]->asString(), "1.0");
    EXPECT_TRUE(root->attributes()[0]->isSet());
}

TEST(SdfRead, VersionMustBeExactlyOnePointZero)
{
    ExpectThrowExactly<std::logic_error>([] { SDF::ReadSdfFromString("<sdf version='1.0 '/>"); }, "wrong version");
    ExpectThrowExactly<std::logic_error>([] { SDF::ReadSdfFromString("<sdf version='1'/>"); }, "wrong version");
    ExpectThrowExactly<std::logic_error>([] { SDF::ReadSdfFromString("<sdf version=''/>"); }, "wrong version");
    ExpectThrowExactly<std::logic_error>([] { SDF::ReadSdfFromString("<sdf><station/></sdf>"); }, "no version");
}

TEST(SdfRead, DocumentElementMustBeSdf)
{
    ExpectReadFails("<station version='1.0'/>", "ReadDoc error");
    // Further top-level elements are tolerated; the first `sdf` is read.
    auto root = SDF::ReadSdfFromString("<other/><sdf version='1.0'><station/></sdf><sdf version='2'/>")->Root();
    EXPECT_EQ(Labels(*root), std::vector<std::string>{"station"});
}

TEST(SdfRead, TextThatIsNotXmlFailsAsAString)
{
    for (const std::string text : {"", "   ", "<sdf version='1.0'>", "<sdf version='1.0'></station>", "plain"})
        ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromString(text); }, "read sdf string failed");
}

TEST(SdfRead, RepeatedAttributeIsMalformedXml)
{
    // Otherwise the version check would see the first and the root hold the
    // second, and the document would be written with a version it refuses.
    ExpectThrowExactly<std::logic_error>([] { SDF::ReadSdfFromString("<sdf version='1.0' version='2.0'/>"); },
                                         "read sdf string failed");
    std::string many = "<sdf version='1.0'><station";
    for (int i = 0; i < 40; ++i)
        many += " a" + std::to_string(i) + "='1'";
    ExpectThrowExactly<std::runtime_error>([&] { SDF::ReadSdfFromString(many + "/></sdf>"); },
                                           "unknown attribute 'a0' in element 'station'");
    ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromString(many + " a17='2'/></sdf>"); },
                                         "read sdf string failed");
    sdf::test::TempDir dir;
    sdf::test::WriteFile(dir / "twice.sdf", "<sdf version='1.0'><station id='1' id='2'/></sdf>");
    ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromFile(dir / "twice.sdf"); }, "read sdf file failed");
}

TEST(SdfRead, OnlyTheCharactersOfTheViewAreParsed)
{
    // The whole text is not well-formed; its first part is.
    const std::string text = "<sdf version='1.0'/><broken";
    auto root = SDF::ReadSdfFromString(std::string_view(text).substr(0, 20))->Root();
    EXPECT_EQ(root->label(), "sdf");
    // A view that stops inside the document does not see what follows it.
    const std::string longer = "<sdf version='1.0'><station/></sdf>";
    ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromString(std::string_view(longer).substr(0, 30)); },
                                         "read sdf string failed");
}

TEST(SdfRead, DeclarationCommentsAndByteOrderMarkAreIgnored)
{
    const std::string plain = "<sdf version='1.0'><station><name>cell</name></station></sdf>";
    const std::string decorated = "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n<!-- saved -->\n"
                                  "<sdf version='1.0'>\n  <!-- the cell -->\n  <station><!-- x --><name>cell</name>"
                                  "</station>\n</sdf>\n<!-- end -->\n";
    EXPECT_EQ(SDF::ReadSdfFromString(decorated)->Root()->toXMLString(""),
              SDF::ReadSdfFromString(plain)->Root()->toXMLString(""));
}

// ---- supplied children -------------------------------------------------------

TEST(SdfRead, EmptyStationGetsItsRequiredChildrenInTemplateOrder)
{
    auto station = ReadStation("");
    EXPECT_EQ(Labels(*station), (std::vector<std::string>{"last_viewpoint_pose", "visibility"}));
    EXPECT_EQ(station->getId(true), 0u);
    EXPECT_FALSE(station->attributes()[0]->isSet());
    EXPECT_EQ(station->get("last_viewpoint_pose")->toXMLString(""),
              "<last_viewpoint_pose>0 0 0 1 0 0 0</last_viewpoint_pose>\n");
    EXPECT_EQ(station->get("visibility")->count(), 0u);
}

TEST(SdfRead, RequiredChildrenGivenAreKeptWhereTheyStand)
{
    auto station = ReadStation("<visibility><objectid>4</objectid></visibility><name>a</name>"
                               "<last_viewpoint_pose>1 2 3 1 0 0 0</last_viewpoint_pose>");
    EXPECT_EQ(Labels(*station), (std::vector<std::string>{"visibility", "name", "last_viewpoint_pose"}));
    EXPECT_EQ(station->asPose("last_viewpoint_pose").pos.y, 2.0);
    EXPECT_EQ(station->asUInt("visibility/objectid"), 4u);
}

TEST(SdfRead, MissingRequiredChildrenComeAfterThoseRead)
{
    auto station = ReadStation("<name>s</name><user_file><file_name>a.stl</file_name></user_file>");
    EXPECT_EQ(Labels(*station), (std::vector<std::string>{"name", "user_file", "last_viewpoint_pose", "visibility"}));
    auto userFile = station->get("user_file");
    EXPECT_EQ(Labels(*userFile), (std::vector<std::string>{"file_name", "uri"}));
    EXPECT_EQ(userFile->asString("uri"), "");
}

TEST(SdfRead, RequiredChildSharingANameWithAnEarlierOneIsNotDoubled)
{
    // A path declares its own required `parent` after the optional one of
    // the common object fields; a `parent` in the document satisfies both.
    auto station = ReadStation("<task><path><parent>7</parent></path></task>");
    auto path = station->get("task/path");
    EXPECT_EQ(Labels(*path), std::vector<std::string>{"parent"});
    EXPECT_EQ(path->asUInt("parent"), 7u);
    // Without one, a single `parent` is supplied.
    EXPECT_EQ(Labels(*ReadStation("<task><path/></task>")->get("task/path")), std::vector<std::string>{"parent"});
}

TEST(SdfRead, SuppliedChildrenBringTheirOwnRequiredDescendants)
{
    auto station = ReadStation("<region><subregion id='2'/></region>");
    auto subregion = station->get("region/subregion");
    EXPECT_EQ(Labels(*subregion), (std::vector<std::string>{"name", "face", "boundary"}));
    EXPECT_EQ(Labels(*subregion->get("face")), (std::vector<std::string>{"bodyid", "faceindex"}));
}

// ---- values ------------------------------------------------------------------

TEST(SdfRead, ValueTextKeepsItsSpacesButWhiteSpaceAloneIsNoValue)
{
    EXPECT_EQ(ReadStation("<name>  word  </name>")->asString("name"), "  word  ");
    auto blank = ReadStation("<name> </name>");
    EXPECT_EQ(blank->asString("name"), "");
    // Untouched default: written back as the empty text.
    EXPECT_EQ(blank->get("name")->toXMLString(""), "<name></name>\n");
}

TEST(SdfRead, EntityReferencesAndCdataAreDecoded)
{
    auto station = ReadStation("<name>a&amp;b&lt;c&gt;d&apos;e&quot;f&#x41;</name>"
                               "<user_file><uri><![CDATA[x<y&z]]></uri></user_file>");
    EXPECT_EQ(station->asString("name"), "a&b<c>d'e\"fA");
    EXPECT_EQ(station->asString("user_file/uri"), "x<y&z");
}

TEST(SdfRead, RepeatedChildrenAreAllKeptInDocumentOrder)
{
    auto station = ReadStation("<name>first</name><name>second</name>");
    EXPECT_EQ(station->asString("name"), "first");
    std::vector<std::string> names;
    for (const auto& n : station->children("name"))
        names.push_back(n->asString());
    EXPECT_EQ(names, (std::vector<std::string>{"first", "second"}));
}

TEST(SdfRead, MalformedNumbersReadAsTheTypeMakesThemAndTheReadGoesOn)
{
    auto station = ReadStation("<next_dataid>12abc</next_dataid><name>n</name>");
    EXPECT_EQ(station->asUInt("next_dataid"), 12u);
    EXPECT_EQ(station->asString("name"), "n");
}

TEST(SdfRead, TypeAttributeGivesAnAnnotatedValueOfThatType)
{
    auto property = ReadStation("<smart_component><property id='3'><value type='double'>2.5</value></property>"
                                "</smart_component>")
                        ->get("smart_component/property");
    auto value = property->get("value");
    EXPECT_EQ(value->as<double>(), 2.5);
    ASSERT_EQ(value->attributes().size(), 1u);
    EXPECT_EQ(value->attributes()[0]->label(), "type");
    EXPECT_EQ(value->attributes()[0]->asString(), "double");
    EXPECT_TRUE(value->attributes()[0]->isSet());
    EXPECT_EQ(value->toXMLString(""), "<value type='double'>2.5</value>\n");
    EXPECT_EQ(property->getId(), 3u);
}

TEST(SdfRead, TypeAttributeOverridesTheDeclaredValueType)
{
    auto name = ReadStation("<name type='int'>-4</name>")->get("name");
    EXPECT_EQ(name->as<int>(), -4);
    EXPECT_EQ(name->toXMLString(""), "<name type='int'>-4</name>\n");
}

TEST(SdfRead, TypeAttributeWithoutTextGivesAnEmptyValueOfThatType)
{
    // What the writer makes of an annotated empty string must read back.
    auto value = ReadStation("<smart_component><property><value type='string'/></property></smart_component>")
                     ->get("smart_component/property/value");
    EXPECT_EQ(value->as<std::string>(), "");
    EXPECT_EQ(value->toXMLString(""), "<value type='string'></value>\n");
    auto number = ReadStation("<smart_component><property><value type='int'></value></property></smart_component>")
                      ->get("smart_component/property/value");
    EXPECT_EQ(number->as<int>(), 0);
}

TEST(SdfRead, TypeAttributeNamingNoRegisteredTypeFailsTheLookup)
{
    for (const std::string type : {"annotated", "float", "String"}) {
        for (const std::string text : {"1", ""}) {
            const std::string doc = "<sdf version='1.0'><station><smart_component><property><value type='" + type +
                                    "'>" + text + "</value></property></smart_component></station></sdf>";
            EXPECT_THROW(SDF::ReadSdfFromString(doc), std::out_of_range) << type << " / " << text;
        }
    }
}

// ---- rejected documents ---------------------------------------------------------

TEST(SdfRead, TextInAnElementWithoutValueFails)
{
    ExpectReadFails("<sdf version='1.0'><station>x<name>a</name></station></sdf>",
                    "element 'station' cannot have a value");
    // Also text after the first child: it is still the element's first text.
    ExpectReadFails("<sdf version='1.0'><station><name>a</name>tail</station></sdf>",
                    "element 'station' cannot have a value");
    // An annotated element without a `type` has no value to take text.
    ExpectReadFails("<sdf version='1.0'><station><smart_component><property><value>2.5</value></property>"
                    "</smart_component></station></sdf>",
                    "element 'value' cannot have a value");
}

TEST(SdfRead, UndeclaredAttributeFails)
{
    ExpectReadFails("<sdf version='1.0'><station idx='1'/></sdf>", "unknown attribute 'idx' in element 'station'");
    ExpectReadFails("<sdf version='1.0' encoding='x'/>", "unknown attribute 'encoding' in element 'sdf'");
    // An empty `type` names no type and is an attribute like any other.
    ExpectReadFails("<sdf version='1.0'><station><name type=''>a</name></station></sdf>",
                    "unknown attribute 'type' in element 'name'");
}

TEST(SdfRead, UndeclaredChildFailsNamingTheInnermostElement)
{
    ExpectThrowExactly<std::logic_error>(
        [] { SDF::ReadSdfFromString("<sdf version='1.0'><station><bogus/></station></sdf>"); },
        "element 'station' does not have 'bogus' child element");
    ExpectThrowExactly<std::logic_error>(
        [] { SDF::ReadSdfFromString("<sdf version='1.0'><station><task><path><nme/></path></task></station></sdf>"); },
        "element 'path' does not have 'nme' child element");
}

TEST(SdfRead, RequiredAttributeMustBeGiven)
{
    ExpectReadFails("<sdf version='1.0'><station><smart_component><connection><source>1</source></connection>"
                    "</smart_component></station></sdf>",
                    "required attribute 'id' not exist");
    auto connection = ReadStation("<smart_component><connection id='0'/></smart_component>")
                          ->get("smart_component/connection");
    EXPECT_TRUE(connection->attributes()[0]->isSet());
    EXPECT_EQ(Labels(*connection), (std::vector<std::string>{"source", "destination"}));
}

TEST(SdfRead, ValueIsCheckedBeforeAttributesAndAttributesBeforeChildren)
{
    ExpectReadFails("<sdf version='1.0'><station bad='1'>text<bogus/></station></sdf>",
                    "element 'station' cannot have a value");
    ExpectReadFails("<sdf version='1.0'><station bad='1'><bogus/></station></sdf>",
                    "unknown attribute 'bad' in element 'station'");
}

// ---- files ----------------------------------------------------------------------

TEST(SdfReadFile, MissingEmptyOrNonDocumentPathsFail)
{
    sdf::test::TempDir dir;
    sdf::test::WriteFile(dir / "broken.sdf", "<sdf version='1.0'><station>");
    for (const auto& path : {std::filesystem::path(), dir / "missing.sdf", dir.path(), dir / "broken.sdf"})
        ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromFile(path); }, "read sdf file failed");
}

TEST(SdfReadFile, ReadsTheFileLikeItsText)
{
    sdf::test::TempDir dir;
    const std::string text = "\xEF\xBB\xBF<?xml version='1.0'?>\r\n<sdf version='1.0'>\r\n<station id='5'>"
                             "<name>x\r\ny</name></station></sdf>";
    sdf::test::WriteFile(dir / "cell.sdf", text);
    auto station = SDF::ReadSdfFromFile(dir / "cell.sdf")->Root()->get("station");
    EXPECT_EQ(station->getId(), 5u);
    // Line ends come back as single line feeds.
    EXPECT_EQ(station->asString("name"), "x\ny");
    // A document error in a file is the same error as in a text.
    sdf::test::WriteFile(dir / "other.sdf", "<sdf version='2.0'/>");
    ExpectThrowExactly<std::logic_error>([&] { SDF::ReadSdfFromFile(dir / "other.sdf"); }, "wrong version");
}
