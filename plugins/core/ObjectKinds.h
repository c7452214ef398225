#pragma once

// Which document elements are station objects, and the kind each object
// gets. The library leaves the meaning of the kind numbers to the
// application; this plug-in numbers the catalogue's object elements so that
// related ones fall into the library's kind groups.

#include <sdformat/ObjectType.h>

#include <string_view>

namespace sdf {
class Element;
}

namespace zrv::core {

// Whether the element is a station object: it carries a non-zero `id`, and
// its label is not one of the records that number themselves with an `id`
// of their own (tool data, signal connections, dependencies, subregions).
bool IsObjectElement(const sdf::Element& element);

// The kind of an object element, by label. Labels the plug-in does not know
// get a kind of their own that heads no group.
sdf::ObjectType KindOf(std::string_view label);

} // namespace zrv::core
