// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the whole text is
// appended to one growing string, with no stream and no temporary string per
// value for the common value types (see ValueText).

#include <sdformat/Element.h>

#include <sdformat/ValueText.h>

#include <sstream>

namespace sdf {

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
        AppendValueText(out, attr->_value, TextPlace::Attribute);
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
        // The element's own value is written only when it has no children.
        out.push_back('>');
        AppendValueText(out, _value->_value, TextPlace::Content);
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
