#include <sdformat/ValueText.h>

#include <sdformat/TextPieces.h>
#include <sdformat/TypeManager.h>
#include <sdformat/Utf8Char.h>
#include <sdformat/ValueCodec.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>

namespace sdf {

namespace {

using detail::Orient;
using detail::Pos;
using detail::Pose;
using detail::ValueCodec;
using detail::Vec3;

// Marks the control characters that XML 1.0 has no way to carry, not even
// as character references, in the table of characters that need care.
constexpr std::uint8_t kUnwritable = 4;
// Marks the bytes of multi-byte UTF-8 characters: each such character is
// decoded where it starts, and malformed UTF-8, surrogates, U+FFFE and
// U+FFFF are as unwritable as the control characters, since a reader
// rejects them too.
constexpr std::uint8_t kMultiByte = 8;

constexpr std::array<std::uint8_t, 256> MakeEscapeTable()
{
    std::array<std::uint8_t, 256> table{};
    for (unsigned c = 0; c < 0x20; ++c)
        table[c] = kUnwritable;
    for (unsigned c = 0x80; c < 0x100; ++c)
        table[c] = kMultiByte;
    constexpr auto everywhere = static_cast<std::uint8_t>(TextPlace::Content) | static_cast<std::uint8_t>(TextPlace::Attribute);
    table[static_cast<unsigned char>('&')] = everywhere;
    table[static_cast<unsigned char>('<')] = everywhere;
    table[static_cast<unsigned char>('\'')] = static_cast<std::uint8_t>(TextPlace::Attribute);
    // A parser turns a written carriage return into a line feed, and tabs
    // and line feeds inside attributes into spaces; as character references
    // they come back as they were.
    table[static_cast<unsigned char>('\r')] = everywhere;
    table[static_cast<unsigned char>('\t')] = static_cast<std::uint8_t>(TextPlace::Attribute);
    table[static_cast<unsigned char>('\n')] = static_cast<std::uint8_t>(TextPlace::Attribute);
    return table;
}

constexpr std::array<std::uint8_t, 256> kEscapeTable = MakeEscapeTable();

} // namespace

std::any ReadValueText(const std::string& typeName, std::string_view text)
{
    // Cheapest test first: the length tells most names apart.
    switch (typeName.size()) {
    case 3:
        if (typeName == "int")
            return ValueCodec<int>::read(text);
        break;
    case 4:
        if (typeName == "pose")
            return ValueCodec<Pose>::read(text);
        if (typeName == "bool")
            return ValueCodec<bool>::read(text);
        break;
    case 6:
        if (typeName == "string")
            return ValueCodec<std::string>::read(text);
        if (typeName == "double")
            return ValueCodec<double>::read(text);
        break;
    case 12:
        if (typeName == "unsigned int")
            return ValueCodec<unsigned int>::read(text);
        break;
    default:
        break;
    }
    return TypeManager::inst()->fromString(typeName, text);
}

namespace {

// Where text holds the first character marked with any of marks in the
// table, or npos.
std::size_t FindMarked(std::string_view text, std::uint8_t marks)
{
    const bool checkChars = (marks & kUnwritable) != 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::uint8_t care = kEscapeTable[static_cast<unsigned char>(text[i])];
        if (care & marks)
            return i;
        if (checkChars && (care & kMultiByte)) {
            const Utf8Char c = Utf8Char::At(text, i);
            if (!c.xmlCarries())
                return i;
            i += c.length - 1;
        }
    }
    return std::string_view::npos;
}

} // namespace

std::size_t FindUnwritable(std::string_view text)
{
    return FindMarked(text, kUnwritable);
}

std::string DescribeUnwritable(std::string_view text, std::size_t at)
{
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x80)
        return fmt::format("U+{:04X}, which XML cannot carry", byte);
    if (const Utf8Char c = Utf8Char::At(text, at); c.length != 0)
        return fmt::format("U+{:04X}, which XML cannot carry", c.code);
    // An encoded surrogate has the form of a character but is none.
    if (byte == 0xED && text.size() - at >= 3 && (static_cast<unsigned char>(text[at + 1]) & 0xE0u) == 0xA0u)
        return fmt::format("U+{:04X}, a surrogate, which XML cannot carry",
                           0xD000u | ((static_cast<unsigned char>(text[at + 1]) & 0x3Fu) << 6) |
                               (static_cast<unsigned char>(text[at + 2]) & 0x3Fu));
    return fmt::format("the byte 0x{:02X}, which is not UTF-8", byte);
}

void AppendEscaped(std::string& out, std::string_view text, TextPlace place)
{
    // One look-up per character finds both what to escape and what to refuse.
    const auto where = static_cast<std::uint8_t>(static_cast<std::uint8_t>(place) | kUnwritable | kMultiByte);
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* at = run; at != end; ++at) {
        const std::uint8_t care = kEscapeTable[static_cast<unsigned char>(*at)];
        if (!(care & where))
            continue;
        if (care & kMultiByte) {
            const Utf8Char c = Utf8Char::At(text, static_cast<std::size_t>(at - text.data()));
            if (!c.xmlCarries())
                throw UnwritableCharacter{};
            at += c.length - 1;
            continue;
        }
        if (care & kUnwritable)
            throw UnwritableCharacter{};
        out.append(run, at);
        switch (*at) {
        case '&':
            out.append("&amp;");
            break;
        case '<':
            out.append("&lt;");
            break;
        case '\r':
            out.append("&#13;");
            break;
        case '\t':
            out.append("&#9;");
            break;
        case '\n':
            out.append("&#10;");
            break;
        default:
            out.append("&apos;");
            break;
        }
        run = at + 1;
    }
    out.append(run, end);
}

namespace {

// The held types with a text form of their own here, in order of how
// common they are in stations.
enum class Held
{
    String,
    UInt,
    Double,
    Pose,
    Bool,
    Int,
    UInt64,
    Vec3,
    Pos,
    Orient,
    Other,
};

// The value's text by its codec, for a value known to hold a T.
template <class T>
void Append(std::string& out, const std::any& value)
{
    ValueCodec<T>::append(out, *std::any_cast<T>(&value));
}

// The registry's writers for types outside the list above (the records of
// robot programs), kept per thread by the address of the type: a station
// holds few such types but thousands of values of them, and each lookup
// otherwise compares the type's name with every listed type's and hashes
// it.
class OtherWriters
{
public:
    static const TypeManager::Writer* Known(const std::type_info& type)
    {
        for (const Seen& entry : t_seen)
            if (entry.type == &type)
                return entry.writer;
        return nullptr;
    }

    // Looks the type up in the registry; nullptr when it is not registered.
    static const TypeManager::Writer* Find(const std::type_info& type)
    {
        const TypeManager::Writer* writer = TypeManager::inst()->writer(type);
        if (writer) {
            t_seen[t_next] = {&type, writer};
            t_next = (t_next + 1) % kKept;
        }
        return writer;
    }

private:
    struct Seen
    {
        const std::type_info* type;
        const TypeManager::Writer* writer;
    };
    static constexpr std::size_t kKept = 8;
    static thread_local std::array<Seen, kKept> t_seen;
    static thread_local std::size_t t_next;
};

thread_local std::array<OtherWriters::Seen, OtherWriters::kKept> OtherWriters::t_seen{};
thread_local std::size_t OtherWriters::t_next = 0;

Held HeldType(const std::type_info& type)
{
    static const std::type_info* const kTypes[] = {&typeid(std::string), &typeid(unsigned int), &typeid(double),
                                                   &typeid(Pose),        &typeid(bool),         &typeid(int),
                                                   &typeid(std::uint64_t), &typeid(Vec3),       &typeid(Pos),
                                                   &typeid(Orient)};
    // Values made inside the library carry these very type_info objects;
    // comparing addresses first spares the name comparisons that
    // type_info's operator== makes on a mismatch.
    for (std::size_t i = 0; i < std::size(kTypes); ++i)
        if (&type == kTypes[i])
            return static_cast<Held>(i);
    if (OtherWriters::Known(type))
        return Held::Other;
    for (std::size_t i = 0; i < std::size(kTypes); ++i)
        if (type == *kTypes[i])
            return static_cast<Held>(i);
    return Held::Other;
}

// The text of a value of a type outside the list, escaped.
void AppendOther(std::string& out, const std::any& value, TextPlace place)
{
    const TypeManager::Writer* writer = OtherWriters::Known(value.type());
    if (!writer)
        writer = OtherWriters::Find(value.type());
    // Unregistered: the registry reports it.
    AppendEscaped(out, writer ? (*writer)(value) : TypeManager::inst()->toString(value), place);
}

// Where text holds the first character that needs escaping in its place
// (or that XML cannot carry), or npos.
std::size_t FindCare(std::string_view text, TextPlace place)
{
    return FindMarked(text, static_cast<std::uint8_t>(static_cast<std::uint8_t>(place) | kUnwritable));
}

} // namespace

void AppendValueText(std::string& out, const std::any& value, TextPlace place)
{
    // Numbers, booleans and the geometric values never hold a character
    // that needs escaping.
    switch (HeldType(value.type())) {
    case Held::String:
        AppendEscaped(out, *std::any_cast<std::string>(&value), place);
        return;
    case Held::UInt:
        return Append<unsigned int>(out, value);
    case Held::Double:
        return Append<double>(out, value);
    case Held::Pose:
        return Append<Pose>(out, value);
    case Held::Bool:
        return Append<bool>(out, value);
    case Held::Int:
        return Append<int>(out, value);
    case Held::UInt64:
        return Append<std::uint64_t>(out, value);
    case Held::Vec3:
        return Append<Vec3>(out, value);
    case Held::Pos:
        return Append<Pos>(out, value);
    case Held::Orient:
        return Append<Orient>(out, value);
    case Held::Other:
        break;
    }
    AppendOther(out, value, place);
}

void PutValueText(detail::TextPieces& out, const std::any& value, TextPlace place)
{
    const std::type_info& type = value.type();
    if (&type == &typeid(std::string)) {
        const std::string& text = *std::any_cast<std::string>(&value);
        if (FindCare(text, place) == std::string_view::npos) {
            out.put(text);
            return;
        }
    } else if (&type == &typeid(unsigned int)) {
        const fmt::format_int digits(*std::any_cast<unsigned int>(&value));
        out.put(std::string_view(digits.data(), digits.size()));
        return;
    }
    std::string& text = out.scratch();
    AppendValueText(text, value, place);
    out.put(text);
}

} // namespace sdf
