#include <sdformat/ValueText.h>

#include <sdformat/NumberText.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/TypeManager.h>
#include <sdformat/Vec3Template.h>

#include <fmt/format.h>

#include <array>
#include <initializer_list>

namespace sdf {

namespace {

using Vec3 = zrv::rob::Vec3Template<double>;
using Pos = zrv::rob::PosTemplate<double>;
using Orient = zrv::rob::OrientTemplate<double>;
using Pose = zrv::rob::PoseTemplate<double>;

// Digits the registry writes: a lone double with 16 significant digits,
// each component of a geometric value with 6 (the stream default). The
// tests hold both directions to the registry's own results.
constexpr int kDoubleDigits = 16;
constexpr int kComponentDigits = 6;

template <class T>
T ReadNumber(std::string_view text)
{
    T value{};
    detail::ExtractNumber(text, value);
    return value;
}

Pose ReadPose(std::string_view text)
{
    Pose p{};
    std::array<double*, 7> c{&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
    detail::ExtractComponents(text, c.data(), 7);
    return p;
}

constexpr std::array<std::uint8_t, 256> MakeEscapeTable()
{
    std::array<std::uint8_t, 256> table{};
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

template <class Int>
void AppendInteger(std::string& out, Int value)
{
    const fmt::format_int text(value);
    out.append(text.data(), text.size());
}

void AppendComponents(std::string& out, std::initializer_list<double> components)
{
    bool first = true;
    for (double component : components) {
        if (!first)
            out.push_back(' ');
        first = false;
        detail::AppendGeneral(out, component, kComponentDigits);
    }
}

} // namespace

std::any ReadValueText(const std::string& typeName, std::string_view text)
{
    // Cheapest test first: the length tells most names apart.
    switch (typeName.size()) {
    case 3:
        if (typeName == "int")
            return ReadNumber<int>(text);
        break;
    case 4:
        if (typeName == "pose")
            return ReadPose(text);
        if (typeName == "bool")
            return !(text.empty() || text == "0" || text == "false");
        break;
    case 6:
        if (typeName == "string")
            return std::string(text);
        if (typeName == "double")
            return ReadNumber<double>(text);
        break;
    case 12:
        if (typeName == "unsigned int")
            return ReadNumber<unsigned int>(text);
        break;
    default:
        break;
    }
    return TypeManager::inst()->fromString(typeName, text);
}

void AppendEscaped(std::string& out, std::string_view text, TextPlace place)
{
    const auto where = static_cast<std::uint8_t>(place);
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* at = run; at != end; ++at) {
        if (!(kEscapeTable[static_cast<unsigned char>(*at)] & where))
            continue;
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
    for (std::size_t i = 0; i < std::size(kTypes); ++i)
        if (type == *kTypes[i])
            return static_cast<Held>(i);
    return Held::Other;
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
        AppendInteger(out, *std::any_cast<unsigned int>(&value));
        return;
    case Held::Double:
        detail::AppendGeneral(out, *std::any_cast<double>(&value), kDoubleDigits);
        return;
    case Held::Pose: {
        const Pose& p = *std::any_cast<Pose>(&value);
        AppendComponents(out, {p.pos.x, p.pos.y, p.pos.z, p.orient.w, p.orient.x, p.orient.y, p.orient.z});
        return;
    }
    case Held::Bool:
        out.append(*std::any_cast<bool>(&value) ? "true" : "false");
        return;
    case Held::Int:
        AppendInteger(out, *std::any_cast<int>(&value));
        return;
    case Held::UInt64:
        AppendInteger(out, *std::any_cast<std::uint64_t>(&value));
        return;
    case Held::Vec3: {
        const Vec3& v = *std::any_cast<Vec3>(&value);
        AppendComponents(out, {v.x, v.y, v.z});
        return;
    }
    case Held::Pos: {
        const Pos& v = *std::any_cast<Pos>(&value);
        AppendComponents(out, {v.x, v.y, v.z});
        return;
    }
    case Held::Orient: {
        const Orient& q = *std::any_cast<Orient>(&value);
        AppendComponents(out, {q.w, q.x, q.y, q.z});
        return;
    }
    case Held::Other:
        break;
    }
    AppendEscaped(out, TypeManager::inst()->toString(value), place);
}

} // namespace sdf
