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

std::size_t Element::estimateXml(std::size_t indent) const
{
    const std::size_t name = label().size();
    std::size_t size = indent + 1 + name;
    for (const auto& attr : _attributes)
        size += attr->label().size() + 4 + EstimateValueText(attr->_value);
    if (!_children.empty()) {
        size += 2 + indent + 2 + name + 2;
        for (const auto& child : _children)
            size += child->estimateXml(indent + 4);
    } else if (_value) {
        size += 1 + EstimateValueText(_value->_value) + 2 + name + 2;
    } else {
        size += 3;
    }
    return size;
}

std::string Element::toXMLString(std::string_view prefix) const
{
    // Sized once: a string doubling its way to the size of a large station
    // copies the text at every step, and the ever larger blocks it asks for
    // are fresh memory that the heap may have to map anew each time. The
    // estimate is mostly above the real length; a little more covers the
    // escapes it does not count.
    std::string out;
    const std::size_t estimate = estimateXml(prefix.size());
    out.reserve(estimate + estimate / 32);
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
