#include "sdformat/ReadPlace.h"

#include "sdformat/ElementTemplate.h"
#include "sdformat/TypeManager.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <set>

namespace sdf {

namespace {

bool declaresAttribute(const ElementTemplate& templ, std::string_view name)
{
    return std::ranges::any_of(templ._attributes, [&](const auto& a) { return a._label == name; });
}

const ElementTemplate* childTemplate(const ElementTemplate& templ, std::string_view name)
{
    const auto it = std::ranges::find(templ._children, name, &ElementTemplate::_name);
    return it == templ._children.end() ? nullptr : &*it;
}

// The first node, in the reader's order, that the reader refuses: its
// value, then its attributes, its required attributes and its children.
pugi::xml_node firstProblem(pugi::xml_node node, const ElementTemplate& templ)
{
    const char* type = node.attribute("type").value();
    if (*type) {
        if (!TypeManager::inst()->contains(type))
            return node;
    } else if (*node.text().get() && !templ.hasValue()) {
        return node;
    }
    std::set<std::string_view> given;
    for (pugi::xml_attribute attr = node.first_attribute(); attr; attr = attr.next_attribute()) {
        const std::string_view name = attr.name();
        if (!given.insert(name).second || !(declaresAttribute(templ, name) || (*type && name == "type")))
            return node;
    }
    for (const auto& attr : templ._attributes)
        if (attr._required && !given.contains(attr._label))
            return node;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const ElementTemplate* childTempl = childTemplate(templ, child.name());
        if (!childTempl)
            return child;
        if (pugi::xml_node bad = firstProblem(child, *childTempl))
            return bad;
    }
    return {};
}

ReadPlace placeOfNode(std::string_view text, pugi::xml_node node)
{
    const std::ptrdiff_t offset = node.offset_debug();
    if (offset < 0)
        return {};
    // The offset is that of the name; the place is the tag's '<'.
    auto at = static_cast<std::size_t>(offset);
    if (at > 0 && at <= text.size() && text[at - 1] == '<')
        --at;
    return ReadPlace::OfOffset(text, at);
}

} // namespace

ReadPlace ReadPlace::OfOffset(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.size());
    const std::string_view before = text.substr(0, offset);
    const auto line = static_cast<std::size_t>(std::ranges::count(before, '\n')) + 1;
    const std::size_t lineStart = before.rfind('\n');
    const std::size_t column = lineStart == std::string_view::npos ? offset + 1 : offset - lineStart;
    return {line, column, {}};
}

std::optional<ReadPlace> ReadPlace::Find(std::string_view text)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size(), pugi::parse_default);
    if (!parsed) {
        ReadPlace place = OfOffset(text, static_cast<std::size_t>(std::max<std::ptrdiff_t>(parsed.offset, 0)));
        place.parserDescription = parsed.description();
        return place;
    }
    const pugi::xml_node root = document.child("sdf");
    if (!root)
        return std::nullopt;
    if (std::strcmp(root.attribute("version").value(), "1.0") != 0)
        return placeOfNode(text, root);
    if (const pugi::xml_node bad = firstProblem(root, RootTemplate()))
        return placeOfNode(text, bad);
    return std::nullopt;
}

} // namespace sdf
