#pragma once

// The description of one element of the document format, built from the
// catalogue's description files. Internal to the library (not exported):
// templates are plain values, copying copies the whole subtree, and
// document elements point at the templates they were made from, which live
// in the root template until the library is unloaded.

#include <sdformat/AttrTemplate.h>

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class Element;

class ElementTemplate
{
public:
    ElementTemplate() = default;
    // Builds the template of an `element` description node and every
    // template below it.
    explicit ElementTemplate(pugi::xml_node element);

    ElementTemplate(const ElementTemplate&) = default;
    ElementTemplate& operator=(const ElementTemplate&) = default;
    ElementTemplate(ElementTemplate&&) noexcept = default;
    ElementTemplate& operator=(ElementTemplate&&) noexcept = default;

    // The first child template with that name; std::logic_error
    // "element '{}' does not have '{}' child element" when there is none.
    const ElementTemplate& child(std::string_view name) const;

    // A new element made from this template: its attributes with their
    // defaults, its value if the template is typed, no children.
    std::shared_ptr<Element> spawn() const;

    // An element has a value of its own exactly when the value template
    // has a label.
    bool hasValue() const { return !_value._label.empty(); }

    std::string _name;
    bool _required = false;
    bool _annotated = false;
    std::vector<AttrTemplate> _attributes;
    AttrTemplate _value;
    std::vector<ElementTemplate> _children;
};

// Fills document with the description file's text, includes expanded.
void LoadDescription(pugi::xml_document& document, std::string_view fileName);

// Replaces, in place, every `include` node in the node's subtree by the
// top-level nodes of the named description file.
void ExpandIncludes(pugi::xml_node node);

// The template of the document root, built from "root.sdf" on first use.
const ElementTemplate& RootTemplate();

} // namespace sdf
