// The registry reads the robot records straight from text. Whatever the
// text, it must give what the records' stream readers give over a
// classic-locale stream holding it, with empty text left at the default and
// a failed field leaving the rest at their defaults.

#include <sdformat/TypeManager.h>

#include "CommaLocale.h"
#include "RecordTexts.h"

#include <gtest/gtest.h>

#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace zrv::rob;
using namespace zrv::rob::testing;

namespace {

template <class T>
struct RecordName;
template <> struct RecordName<ToolData> { static constexpr const char* value = "tooldata"; };
template <> struct RecordName<WObjData> { static constexpr const char* value = "wobjdata"; };
template <> struct RecordName<SpeedData> { static constexpr const char* value = "speeddata"; };
template <> struct RecordName<ZoneData> { static constexpr const char* value = "zonedata"; };
template <> struct RecordName<RobTarget> { static constexpr const char* value = "robtarget"; };
template <> struct RecordName<JointTarget> { static constexpr const char* value = "jointtarget"; };

// What the registry gave when it ran the stream reader itself.
template <class T>
T ByStream(const std::string& text)
{
    T value{};
    if (text.empty())
        return value;
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> value;
    return value;
}

template <class T>
T ByRegistry(const std::string& text)
{
    return std::any_cast<T>(sdf::TypeManager::inst()->fromString(RecordName<T>::value, text));
}

// Compared as written text: equal texts mean equal fields, NaN included.
template <class T>
std::vector<std::string> Differences(const std::vector<std::string>& texts)
{
    std::vector<std::string> differences;
    for (const auto& text : texts) {
        const auto expected = WriteRecord(ByStream<T>(text));
        const auto actual = WriteRecord(ByRegistry<T>(text));
        if (expected != actual)
            differences.push_back(Printable(text) + ": stream " + Printable(expected) + ", registry " +
                                  Printable(actual));
    }
    return differences;
}


template <class T>
std::vector<std::string> Texts(unsigned seed, int randomCount)
{
    std::mt19937_64 random(seed);
    auto texts = AwkwardTexts(WriteRecord(RandomRecord<T>(random)));
    for (int i = 0; i < randomCount; ++i)
        texts.push_back(RandomMutatedText<T>(random));
    return texts;
}


template <class T>
class RegistryRecordRead : public ::testing::Test
{
};

using Records = ::testing::Types<ToolData, WObjData, SpeedData, ZoneData, RobTarget, JointTarget>;
TYPED_TEST_SUITE(RegistryRecordRead, Records);

} // namespace

TYPED_TEST(RegistryRecordRead, ReadsWhatTheStreamReaderReads)
{
    const auto texts = Texts<TypeParam>(31, 2000);
    const auto differences = Differences<TypeParam>(texts);
    EXPECT_TRUE(differences.empty()) << differences.size() << " of " << texts.size() << " differ:\n"
                                     << FirstFew(differences);
}

TYPED_TEST(RegistryRecordRead, EmptyAndBlankTextGiveTheDefault)
{
    for (const char* text : {"", " ", "\r\n\t"})
        EXPECT_EQ(ByRegistry<TypeParam>(text), TypeParam{}) << Printable(text);
}

TYPED_TEST(RegistryRecordRead, TheProcessLocaleDoesNotMatter)
{
    const auto texts = Texts<TypeParam>(47, 200);
    std::vector<std::string> inClassic;
    for (const auto& text : texts)
        inClassic.push_back(WriteRecord(ByRegistry<TypeParam>(text)));

    const sdf::testing::GlobalLocale comma(sdf::testing::CommaLocale());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(WriteRecord(ByRegistry<TypeParam>(texts[i])), inClassic[i]) << Printable(texts[i]);
}
