// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the whole text is
// appended to one growing string: no stream per value, no temporary string
// for the common value types, and escaping copies runs of plain characters
// at once.

#include <sdformat/Element.h>

#include <sdformat/NumberText.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <sstream>

namespace sdf {

namespace {

// Digits the type registry writes: a lone double with 16 significant
// digits, each component of a geometric value with 6 (the stream default).
// The writer tests compare every fast path below with Attr::asString.
constexpr int kDoubleDigits = 16;
constexpr int kComponentDigits = 6;

// Which characters need an entity reference: '&' and '<' everywhere, and
// the single quote inside the single-quoted attribute texts.
enum Escape : std::uint8_t
{
    Plain = 0,
    InText = 1,
    InAttribute = 2,
};

constexpr std::array<std::uint8_t, 256> MakeEscapeTable()
{
    std::array<std::uint8_t, 256> table{};
    table[static_cast<unsigned char>('&')] = InText | InAttribute;
    table[static_cast<unsigned char>('<')] = InText | InAttribute;
    table[static_cast<unsigned char>('\'')] = InAttribute;
    return table;
}

constexpr std::array<std::uint8_t, 256> kEscapeTable = MakeEscapeTable();

void AppendEscaped(std::string& out, std::string_view text, Escape where)
{
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

// Appends the text of a held value. Numbers, booleans and the geometric
// values never contain a character that needs escaping; any other type goes
// through its registered writer.
void AppendValue(std::string& out, const std::any& value, const Attr& attr, Escape where)
{
    using Vec3 = zrv::rob::Vec3Template<double>;
    using Pos = zrv::rob::PosTemplate<double>;
    using Orient = zrv::rob::OrientTemplate<double>;
    using Pose = zrv::rob::PoseTemplate<double>;

    const std::type_info& type = value.type();
    if (type == typeid(std::string)) {
        AppendEscaped(out, *std::any_cast<std::string>(&value), where);
    } else if (type == typeid(unsigned int)) {
        AppendInteger(out, *std::any_cast<unsigned int>(&value));
    } else if (type == typeid(double)) {
        detail::AppendGeneral(out, *std::any_cast<double>(&value), kDoubleDigits);
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
        AppendEscaped(out, attr.asString(), where);
    }
}

} // namespace

void Element::appendXml(std::string& out, std::string& indent) const
{
    const std::string& name = label();
    out.append(indent);
    out.push_back('<');
    out.append(name);
    for (const auto& attr : _attributes) {
        out.push_back(' ');
        out.append(attr->label());
        out.append("='");
        AppendValue(out, attr->_value, *attr, InAttribute);
        out.push_back('\'');
    }

    if (!_children.empty()) {
        out.append(">\n");
        const std::size_t depth = indent.size();
        indent.append("    ");
        for (const auto& child : _children)
            child->appendXml(out, indent);
        indent.resize(depth);
        out.append(indent);
        out.append("</");
        out.append(name);
        out.append(">\n");
    } else if (_value) {
        out.push_back('>');
        AppendValue(out, _value->_value, *_value, InText);
        out.append("</");
        out.append(name);
        out.append(">\n");
    } else {
        out.append("/>\n");
    }
}

std::string Element::toXMLString(std::string_view prefix) const
{
    std::string out;
    std::string indent(prefix);
    appendXml(out, indent);
    return out;
}

void Element::toXMLString(std::string_view prefix, std::ostringstream& stream) const
{
    const std::string text = toXMLString(prefix);
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace sdf
