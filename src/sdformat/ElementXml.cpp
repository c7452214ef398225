// The XML text form of an element and its subtree.
//
// A station can hold hundreds of thousands of elements, so the text is
// written into blocks directly (see TextPieces), with no stream, and the
// common value types are written without the type registry (see ValueText).

#include <sdformat/Element.h>

#include <sdformat/Attr.h>
#include <sdformat/ChunkPool.h>
#include <sdformat/MessageText.h>
#include <sdformat/TextPieces.h>
#include <sdformat/ValueText.h>
#include <sdformat/XmlWriter.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace sdf {

namespace {

// The labels from the top of the tree down to the element, "/sdf/station/name".
std::string PathOf(const Element& element)
{
    std::vector<const std::string*> labels{&element.label()};
    for (auto up = element.parent(); up; up = up->parent())
        labels.push_back(&up->label());
    std::string path;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
        path.push_back('/');
        path.append(**label);
    }
    return path;
}

[[noreturn]] void ThrowUnwritable(const Element& element, const std::string& what, std::string_view text,
                                  std::size_t at)
{
    throw std::runtime_error(fmt::format("cannot write '{}': {} holds {}", detail::ForMessage(PathOf(element)), what,
                                         DescribeUnwritable(text, at)));
}

// After the writer met a text that XML cannot carry: finds it again, in
// writing order, and fails naming its element. Only this rare path pays
// for knowing where the writer was.
[[noreturn]] void ThrowFirstUnwritable(const Element& top)
{
    std::vector<const Element*> pending{&top};
    while (!pending.empty()) {
        const Element& element = *pending.back();
        pending.pop_back();
        for (const auto& attr : element.attributes()) {
            const std::string text = attr->asString();
            if (const auto at = FindUnwritable(text); at != std::string::npos)
                ThrowUnwritable(element, fmt::format("its attribute '{}'", detail::ForMessage(attr->label())),
                                text, at);
        }
        if (element.elements().empty() && element.hasValue()) {
            const std::string text = element.getStringFromValue();
            if (const auto at = FindUnwritable(text); at != std::string::npos)
                ThrowUnwritable(element, "its value", text, at);
        }
        for (auto child = element.elements().rbegin(); child != element.elements().rend(); ++child)
            pending.push_back(child->get());
    }
    throw std::logic_error("a text XML cannot carry was met but not found again");
}

} // namespace

void Element::appendStartTag(detail::TextPieces& out, const std::string& indent) const
{
    out.put(indent);
    out.put('<');
    out.put(label());
    for (const auto& attr : _attributes) {
        out.put(' ');
        out.put(attr->label());
        out.put("='");
        PutValueText(out, attr->_value, TextPlace::Attribute);
        out.put('\'');
    }
}

std::string Element::toXMLString(std::string_view prefix) const
{
    try {
        return detail::XmlWriter::Write(*this, prefix);
    } catch (const UnwritableCharacter&) {
        ThrowFirstUnwritable(*this);
    }
}

void Element::toXMLString(std::string_view prefix, std::ostringstream& stream) const
{
    const std::string text = toXMLString(prefix);
    stream.write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace sdf
