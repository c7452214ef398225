// Error messages quote names and values from documents; a document can make
// them as long as it likes, the messages stay short.

#include "SdfTestSupport.h"

#include <sdformat/Element.h>
#include <sdformat/MessageText.h>
#include <sdformat/SDF.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using sdf::detail::ForMessage;
using sdf::test::ExpectThrowExactly;

TEST(MessageText, ShortTextsStayAsTheyAreLongOnesAreCutWithAnEllipsis)
{
    EXPECT_EQ(ForMessage(""), "");
    EXPECT_EQ(ForMessage(std::string(200, 'a')), std::string(200, 'a'));
    EXPECT_EQ(ForMessage(std::string(201, 'a')), std::string(197, 'a') + "...");
    // Characters, not bytes, and never half of one: 200 three-byte
    // characters stay, 201 are cut after the 197th.
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "漢";
    EXPECT_EQ(ForMessage(wide), wide);
    EXPECT_EQ(ForMessage(wide + "x"), wide.substr(0, 197 * 3) + "...");
    // Bytes that are no UTF-8 cannot make a character of any length.
    const std::string stray(100000, '\x80');
    EXPECT_LE(ForMessage(stray).size(), 4u * 200u);
}

TEST(MessageText, ReadingErrorsQuoteLongNamesCut)
{
    const std::string name(16 * 1024 * 1024, 'n');
    const std::string cut = std::string(197, 'n') + "...";
    ExpectThrowExactly<std::logic_error>(
        [&] { sdf::SDF::ReadSdfFromString("<sdf version='1.0'><station><" + name + "/></station></sdf>"); },
        "element 'station' does not have '" + cut + "' child element");
    ExpectThrowExactly<std::runtime_error>(
        [&] { sdf::SDF::ReadSdfFromString("<sdf version='1.0'><station " + name + "='1'/></sdf>"); },
        "unknown attribute '" + cut + "' in element 'station'");
    ExpectThrowExactly<std::out_of_range>(
        [&] {
            sdf::SDF::ReadSdfFromString("<sdf version='1.0'><station id='1'><task id='2'><dataitem id='3'>"
                                        "<value type='" + name + "'>1</value></dataitem></task></station></sdf>");
        },
        "sdf type '" + cut + "' is not registered");
    auto station = sdf::SDF::SpawnFromRootTemplate()->Root()->append("station");
    ExpectThrowExactly<std::logic_error>([&] { station->append(name); },
                                         "element 'station' does not have '" + cut + "' child element");
}
