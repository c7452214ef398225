#pragma once

// Texts of the robot records for checking a reader against the records'
// stream operators: hand-picked awkward texts and seeded random mutations of
// valid ones. Header-only, so that the record library's tests can use it
// without linking the station generator.

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <array>
#include <cstddef>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace zrv::rob::testing {

template <class T>
std::string WriteRecord(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

// The text with its control and non-ASCII bytes spelled out, for messages.
inline std::string Printable(std::string_view text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f) {
            constexpr char kHex[] = "0123456789abcdef";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Words that numbers, truth words and quoted texts might meet: signs,
// exponents, what from_chars calls infinity and not-a-number, quotes and
// escapes, bytes that are not ASCII.
// The first few lines of a listing of differences, for a failure message.
inline std::string FirstFew(const std::vector<std::string>& differences)
{
    std::string listing;
    for (std::size_t i = 0; i < differences.size() && i < 8; ++i)
        listing += differences[i] + "\n";
    return listing;
}

inline const std::vector<std::string>& AwkwardWords()
{
    static const std::vector<std::string> words = {
        "+", "-", "+1", "++1", "+-1", "-+1", "-0", "+0", "1e5", "1E+05", "1e-5", "1e", "e5", ".5", "5.", ".",
        "1.2.3", "nan", "-nan", "+nan", "NaN", "nan(123)", "nan(", "inf", "-inf", "+Infinity", "infinit",
        "0x10", "1,5", "1e400", "-1e-400", "4.9e-324", "2147483648", "-2147483649", "true", "false", "1", "0",
        "TRUE", "x", "1x", "\"\"", "\"q\"", "\"a b\"", "\"a\\\"b\\\\c\"", "\"unterminated", "\"escape at end\\",
        "word\\\"x", "\"x\"y", "\"\"\"", std::string(1, '\0'), "\x80", "\xff\xfe", std::string("1\0002", 3)};
    return words;
}

// What a stream counts as white space, alone and in runs.
inline const std::vector<std::string>& Separators()
{
    static const std::vector<std::string> separators = {" ", "\t", "\n", "\r\n", "\v", "\f", "  \t "};
    return separators;
}

// The white-space separated words of a text as the writer gives it.
inline std::vector<std::string> SplitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

inline std::string JoinWords(const std::vector<std::string>& words, const std::vector<std::string>& separators)
{
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            text += separators[i - 1];
        text += words[i];
    }
    return text;
}

// Hand-picked texts around one valid text of a record: blank ones, awkward
// words alone, each field replaced by each awkward word, each separator
// replaced by other white space or removed, every truncation, and junk
// before and after.
inline std::vector<std::string> AwkwardTexts(const std::string& valid)
{
    std::vector<std::string> texts = {"", " ", "\t\n\v\f\r "};
    for (const auto& word : AwkwardWords()) {
        texts.push_back(word);
        texts.push_back(word + " " + valid);
        texts.push_back(valid + " " + word);
        texts.push_back(valid + word);
    }
    const auto words = SplitWords(valid);
    const std::vector<std::string> spaces(words.empty() ? 0 : words.size() - 1, " ");
    for (std::size_t i = 0; i < words.size(); ++i) {
        for (const auto& junk : AwkwardWords()) {
            auto changed = words;
            changed[i] = junk;
            texts.push_back(JoinWords(changed, spaces));
        }
    }
    for (std::size_t i = 0; i < spaces.size(); ++i) {
        auto separators = spaces;
        separators[i] = "";
        texts.push_back(JoinWords(words, separators));
        for (const auto& separator : Separators()) {
            separators[i] = separator;
            texts.push_back(JoinWords(words, separators));
        }
    }
    for (std::size_t length = 0; length < valid.size(); ++length)
        texts.push_back(valid.substr(0, length));
    for (const auto& separator : Separators())
        texts.push_back(separator + valid + separator);
    return texts;
}

// One random change of a text: cut it short, insert junk, swap a byte,
// change the white space, drop or repeat a piece.
inline std::string Mutate(std::string text, std::mt19937_64& random)
{
    auto pick = [&random](std::size_t count) {
        return count == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    static constexpr std::string_view kBytes = "0123456789+-.eEnaifxt\"\\ \t\n\r\v\f,(";
    const std::size_t at = pick(text.size() + 1);
    switch (pick(7)) {
    case 0:
        text.resize(at);
        break;
    case 1:
        text.insert(at, AwkwardWords()[pick(AwkwardWords().size())]);
        break;
    case 2:
        if (at < text.size())
            text[at] = kBytes[pick(kBytes.size())];
        break;
    case 3:
        for (char& c : text) {
            if (c == ' ' && pick(4) == 0) {
                c = Separators()[pick(6)].back();
            }
        }
        break;
    case 4:
        text.insert(at, Separators()[pick(Separators().size())]);
        break;
    case 5:
        text.erase(at, pick(6));
        break;
    default:
        text.insert(at, text.substr(at, pick(8)));
        break;
    }
    return text;
}

// Random valid records, with names of units that need quoting and escaping.
template <class T>
T RandomRecord(std::mt19937_64& random);

namespace detail {

inline double RandomNumber(std::mt19937_64& random)
{
    switch (std::uniform_int_distribution<int>(0, 5)(random)) {
    case 0:
        return std::uniform_int_distribution<int>(-3000, 3000)(random);
    case 1:
        return std::uniform_real_distribution<double>(-1.0, 1.0)(random);
    case 2:
        return 9e9;
    case 3:
        return std::uniform_real_distribution<double>(-1e-5, 1e-5)(random);
    default:
        return std::uniform_real_distribution<double>(-2000.0, 2000.0)(random);
    }
}

inline void Fill(std::mt19937_64& random, double& value) { value = RandomNumber(random); }
inline void Fill(std::mt19937_64& random, int& value) { value = std::uniform_int_distribution<int>(-4, 7)(random); }
inline void Fill(std::mt19937_64& random, bool& value) { value = std::bernoulli_distribution(0.5)(random); }
inline void Fill(std::mt19937_64& random, Position& value)
{
    Fill(random, value.x); Fill(random, value.y); Fill(random, value.z);
}
inline void Fill(std::mt19937_64& random, Quaternion& value)
{
    Fill(random, value.w); Fill(random, value.x); Fill(random, value.y); Fill(random, value.z);
}
inline void Fill(std::mt19937_64& random, Frame& value) { Fill(random, value.trans); Fill(random, value.rot); }
inline void Fill(std::mt19937_64& random, std::array<double, 6>& values)
{
    for (double& value : values)
        Fill(random, value);
}

} // namespace detail

template <>
inline ToolData RandomRecord<ToolData>(std::mt19937_64& random)
{
    using detail::Fill;
    ToolData tool;
    Fill(random, tool.robhold); Fill(random, tool.tframe); Fill(random, tool.tload.mass);
    Fill(random, tool.tload.cog); Fill(random, tool.tload.aom);
    Fill(random, tool.tload.ix); Fill(random, tool.tload.iy); Fill(random, tool.tload.iz);
    return tool;
}

template <>
inline WObjData RandomRecord<WObjData>(std::mt19937_64& random)
{
    using detail::Fill;
    static const std::vector<std::string> units = {"", "Axes_1", "track 2", "say \"hi\"", "back\\slash", "\t\n",
                                                   "\"", "\\", "end\\"};
    WObjData wobj;
    Fill(random, wobj.robhold); Fill(random, wobj.ufprog);
    wobj.ufmec = units[std::uniform_int_distribution<std::size_t>(0, units.size() - 1)(random)];
    Fill(random, wobj.uframe); Fill(random, wobj.oframe);
    return wobj;
}

template <>
inline SpeedData RandomRecord<SpeedData>(std::mt19937_64& random)
{
    using detail::Fill;
    SpeedData speed;
    Fill(random, speed.v_tcp); Fill(random, speed.v_ori); Fill(random, speed.v_leax); Fill(random, speed.v_reax);
    return speed;
}

template <>
inline ZoneData RandomRecord<ZoneData>(std::mt19937_64& random)
{
    using detail::Fill;
    ZoneData zone;
    Fill(random, zone.finep); Fill(random, zone.pzone_tcp); Fill(random, zone.pzone_ori);
    Fill(random, zone.pzone_eax); Fill(random, zone.zone_ori); Fill(random, zone.zone_leax);
    Fill(random, zone.zone_reax);
    return zone;
}

template <>
inline RobTarget RandomRecord<RobTarget>(std::mt19937_64& random)
{
    using detail::Fill;
    RobTarget target;
    Fill(random, target.trans); Fill(random, target.rot);
    Fill(random, target.robconf.cf1); Fill(random, target.robconf.cf4);
    Fill(random, target.robconf.cf6); Fill(random, target.robconf.cfx);
    Fill(random, target.extax);
    return target;
}

template <>
inline JointTarget RandomRecord<JointTarget>(std::mt19937_64& random)
{
    using detail::Fill;
    JointTarget target;
    Fill(random, target.robax); Fill(random, target.extax);
    return target;
}

// A valid text of a random record with one to four random changes.
template <class T>
std::string RandomMutatedText(std::mt19937_64& random)
{
    std::string text = WriteRecord(RandomRecord<T>(random));
    const int changes = std::uniform_int_distribution<int>(1, 4)(random);
    for (int i = 0; i < changes; ++i)
        text = Mutate(std::move(text), random);
    return text;
}

} // namespace zrv::rob::testing
