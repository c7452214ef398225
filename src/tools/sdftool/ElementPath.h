#pragma once

// Paths as the commands take them. A path names an element below the
// document root by child labels, as the element tree does ("station/name":
// each piece takes the first child with that label). Two additions make the
// paths that `validate --ids` reports usable as they are: a piece may pick
// the n-th child of its label, counted from 1 ("station/part[2]/name"), and
// a path may start at the root itself ("/sdf/station/part[2]/name"). The
// empty path and "/" name the root. A last piece "@name" names an attribute
// of the element before it ("station/@id", "station/part[2]/@id").
//
// A piece may also pick a child by its name, "part[name=Table]" (the first
// child of that label whose `name` is Table), and the first piece may be an
// object id, "#19", which names the object with that id wherever it lies
// ("#19/pose"). When a piece matches nothing, the path's text says which.

#include <sdformat/Attr.h>
#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdftool {

struct PathStep
{
    std::string label;
    std::size_t index = 0;   // 0: the first child of that label; n: the n-th
    bool attribute = false;  // "@label": an attribute, only as the last piece
    std::string name;        // "label[name=NAME]": the child with that name
    bool byId = false;       // "#ID": the object with id index, first piece only
    std::string text;        // the piece as written
};

// Throws Failure for an empty piece, a malformed index or an absolute path
// that does not start at the root label.
std::vector<PathStep> ParsePath(std::string_view path, std::string_view rootLabel);

// An element together with the template it was made from.
struct Located
{
    std::shared_ptr<sdf::Element> element;
    const sdf::ElementTemplate* templ = nullptr;
    // The attribute of element that the path names, when it ends in
    // "@name"; empty when the path names the element.
    std::string attribute;
    // Without an element: which piece matched nothing, and where, e.g.
    // "'part[name=Tabel]' matched nothing in /sdf/station".
    std::string missing;
};

// The attribute of element with that label, or nullptr.
sdf::Attr* FindAttribute(const sdf::Element& element, std::string_view label);

// The element at the path below root (the document root), or an empty
// element when there is none; creates nothing.
Located FindPath(const std::shared_ptr<sdf::Element>& root, std::string_view path);

// The element at the path, appending missing children from their templates
// (with their required descendants) as Element::touch does. A piece with an
// index must name an existing child: Failure otherwise. An unknown label
// fails with the library's message.
// Every element it appends goes to created, when given.
Located TouchPath(const std::shared_ptr<sdf::Element>& root, std::string_view path,
                  std::vector<Located>* created = nullptr);

// The element's path from the root as the checks write it, a piece
// numbered where its label repeats: "/sdf/station/part[2]/pose".
std::string AbsolutePath(const sdf::Element& element);

} // namespace sdftool
