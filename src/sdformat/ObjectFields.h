#pragma once

// What the format's descriptions say about object ids, as the id check and
// the tools need it: which elements are objects, and which values name an
// object. Internal to the library (not exported).

#include <sdformat/ElementTemplate.h>

#include <span>
#include <string_view>

namespace sdf {

// An object is an element whose template carries the common object fields:
// the `id` attribute together with the children `name`, `parent`, `child`
// and `user_file`. Other elements with an `id` attribute (connections,
// subregions, tool data records, joint dependencies) number things inside
// their owner and are not objects.
bool IsObjectTemplate(const ElementTemplate& templ);

// Whether the element made from templ, below an element made from
// parentTempl, holds the id of an object of the same document.
bool IsIdReference(const ElementTemplate& templ, const ElementTemplate* parentTempl);

// The labels of the elements that hold object ids (see ObjectFields.cpp).
std::span<const std::string_view> IdReferenceLabels();

} // namespace sdf
