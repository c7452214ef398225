#pragma once

// The description of one element of the document format, built from the
// catalogue's description files. Internal to the library (not exported):
// templates are plain values, copying copies the whole subtree, and
// document elements point at the templates they were made from, which live
// in the root template until the library is unloaded.

#include <sdformat/AttrTemplate.h>

#include <pugixml.hpp>

#include <functional>
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

// Where description texts come from: the text of a file name, or
// std::out_of_range for a name it does not know. The library always reads
// the embedded catalogue (CatalogueText); the overloads taking a lookup let
// tests describe formats of their own without touching the catalogue.
using DescriptionLookup = std::function<const std::string&(std::string_view fileName)>;

// Fills document with the description file's text, includes expanded.
// std::runtime_error "no xml data" for an empty text, "parse xml error" for
// text that is not well-formed XML, "include cycle through '{}'" when a file
// includes itself, directly or through others.
void LoadDescription(pugi::xml_document& document, std::string_view fileName);
void LoadDescription(pugi::xml_document& document, std::string_view fileName, const DescriptionLookup& lookup);

// Replaces, in place, every `include` node in the node's subtree by the
// top-level nodes of the named description file.
void ExpandIncludes(pugi::xml_node node);
void ExpandIncludes(pugi::xml_node node, const DescriptionLookup& lookup);

// A fresh root template from "root.sdf" and the files it includes;
// std::runtime_error "no <element>" when "root.sdf" holds no top-level
// `element`. RootTemplate builds it once; this builds anew on every call.
ElementTemplate BuildRootTemplate(const DescriptionLookup& lookup);

// The template of the document root, built from "root.sdf" on first use.
// The first build is safe when several threads ask at once, and a failed
// build is tried again by the next call.
const ElementTemplate& RootTemplate();

} // namespace sdf
