#pragma once

// The steps over pugixml's nodes that reading a document takes for every
// element, shared by the reader of one thread and the reader that builds
// a large document's subtrees on several. Internal to the library.

#include <sdformat/ElementTemplate.h>

#include <pugixml.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace sdf::detail {

// Which child templates of one element the document gave, by position in
// the template. Kept on the stack for ordinary templates: one is made per
// element read.
class SeenChildren
{
public:
    explicit SeenChildren(std::size_t count)
    {
        if (count > kInline * 64) {
            _heap.assign((count + 63) / 64, 0);
            _bits = _heap.data();
        }
    }

    void mark(std::size_t index) { _bits[index / 64] |= std::uint64_t{1} << (index % 64); }
    bool has(std::size_t index) const { return (_bits[index / 64] >> (index % 64)) & 1U; }

private:
    static constexpr std::size_t kInline = 4;
    std::array<std::uint64_t, kInline> _inline{};
    std::vector<std::uint64_t> _heap;
    std::uint64_t* _bits = _inline.data();
};

// Position of the first child template called name: the one that
// appending or touching by that name uses.
inline std::size_t FirstTemplateIndex(const ElementTemplate& parent, std::size_t index)
{
    const std::string& name = parent._children[index]._name;
    for (std::size_t i = 0; i < index; ++i)
        if (parent._children[i]._name == name)
            return i;
    return index;
}

// XML allows an attribute only once on an element, but the parser lets a
// repeat pass and the last one would win: `<sdf version='1.0'
// version='2.0'>` would pass the version check and then hold "2.0". Filling
// finds repeats as it goes (an attribute set twice) and reports them with
// this, which the entry points turn into their malformed-XML error.
struct RepeatedAttribute
{
};

// Stations are mostly elements holding one short text each. Kept in the
// element node instead of a text node of its own, that text costs the
// parser no node and the reader no extra step.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_embed_pcdata;

// One pass over a node's children: its element children go onto pending
// (in order), and its text is returned (the first text child, as
// pugixml's text() finds it; "" without one). Walking pugixml's nodes is
// a good part of reading, so each child list is walked once only.
inline const char* CollectChildren(pugi::xml_node node, std::vector<pugi::xml_node>& pending)
{
    // Parsed as the reader parses (kParseOptions), text that comes before
    // any child is kept in the element node itself; a node parsed with
    // pugixml's defaults has it as a child.
    const char* text = *node.value() ? node.value() : nullptr;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        const pugi::xml_node_type type = child.type();
        if (type == pugi::node_element)
            pending.push_back(child);
        else if (!text && (type == pugi::node_pcdata || type == pugi::node_cdata))
            text = child.value();
    }
    return text ? text : "";
}

// The first child template of parent called name, as ElementTemplate::child
// finds it, or nullptr. Called for most elements read: the first
// character rules out most templates without a call.
inline const ElementTemplate* FindChildTemplate(const ElementTemplate& parent, const char* name)
{
    for (const ElementTemplate& child : parent._children)
        if (child._name[0] == name[0] && std::strcmp(child._name.c_str(), name) == 0)
            return &child;
    return nullptr;
}

// The value of node's `type` attribute, or "". Most elements have no
// attributes, and the rest rarely one starting with 't'.
inline const char* TypeAttribute(pugi::xml_node node)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (const char* name = a.name(); name[0] == 't' && std::strcmp(name, "type") == 0)
            return a.value();
    return "";
}

// The child template of templ that a child element called name is read
// from. Siblings often share a label, so last (the one found for the
// previous sibling, or nullptr) is tried before the search, and then set.
// std::logic_error for a name the template does not know.
inline const ElementTemplate& ChildTemplate(const ElementTemplate& templ, const char* name,
                                           const ElementTemplate*& last)
{
    const ElementTemplate* found = last && last->_name[0] == name[0] && std::strcmp(last->_name.c_str(), name) == 0
                                       ? last
                                       : FindChildTemplate(templ, name);
    if (!found)
        found = &templ.child(name); // fails with the message for an unknown element
    last = found;
    return *found;
}

} // namespace sdf::detail
