#include <sdformat/ValueText.h>

#include <sdformat/NumberText.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/TypeManager.h>
#include <sdformat/Vec3Template.h>

#include <fmt/format.h>

#include <array>
#include <charconv>
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
    return table;
}

constexpr std::array<std::uint8_t, 256> kEscapeTable = MakeEscapeTable();

// printf's "%.*g", which the registry's writers produce, straight into
// the text: std::to_chars is specified to give exactly that.
void AppendGeneral(std::string& out, double value, int significantDigits)
{
    char digits[64];
    const auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general,
                                       significantDigits);
    out.append(digits, written.ptr);
}

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
        AppendGeneral(out, component, kComponentDigits);
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
        default:
            out.append("&apos;");
            break;
        }
        run = at + 1;
    }
    out.append(run, end);
}

void AppendValueText(std::string& out, const std::any& value, TextPlace place)
{
    // Numbers, booleans and the geometric values never hold a character
    // that needs escaping.
    const std::type_info& type = value.type();
    if (type == typeid(std::string)) {
        AppendEscaped(out, *std::any_cast<std::string>(&value), place);
    } else if (type == typeid(unsigned int)) {
        AppendInteger(out, *std::any_cast<unsigned int>(&value));
    } else if (type == typeid(double)) {
        AppendGeneral(out, *std::any_cast<double>(&value), kDoubleDigits);
    } else if (type == typeid(Pose)) {
        const Pose& p = *std::any_cast<Pose>(&value);
        AppendComponents(out, {p.pos.x, p.pos.y, p.pos.z, p.orient.w, p.orient.x, p.orient.y, p.orient.z});
    } else if (type == typeid(bool)) {
        out.append(*std::any_cast<bool>(&value) ? "true" : "false");
    } else if (type == typeid(int)) {
        AppendInteger(out, *std::any_cast<int>(&value));
    } else if (type == typeid(std::uint64_t)) {
        AppendInteger(out, *std::any_cast<std::uint64_t>(&value));
    } else if (type == typeid(Vec3)) {
        const Vec3& v = *std::any_cast<Vec3>(&value);
        AppendComponents(out, {v.x, v.y, v.z});
    } else if (type == typeid(Pos)) {
        const Pos& v = *std::any_cast<Pos>(&value);
        AppendComponents(out, {v.x, v.y, v.z});
    } else if (type == typeid(Orient)) {
        const Orient& q = *std::any_cast<Orient>(&value);
        AppendComponents(out, {q.w, q.x, q.y, q.z});
    } else {
        AppendEscaped(out, TypeManager::inst()->toString(value), place);
    }
}

} // namespace sdf
