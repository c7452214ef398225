#pragma once

// A depth-first walk over a document tree that knows, for every element,
// the template it was made from and its path, e.g. "/sdf/station/part[2]".
// A piece carries its position among the siblings of the same label,
// counted from 1, only where the label repeats. Internal to the library.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <functional>
#include <string_view>

namespace sdf {

struct TreeVisit
{
    const Element& element;
    const ElementTemplate& templ;
    const ElementTemplate* parentTempl;   // nullptr for the root
    std::size_t depth;                         // the root is 0
    std::string_view path;                     // valid during the call only
};

// Visits root and everything below it in document order. root must be the
// document root (its template is the root template).
void WalkTree(const Element& root, const std::function<void(const TreeVisit&)>& visit);

} // namespace sdf
