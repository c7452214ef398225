#pragma once

// Whether an element's value is the id of an object of the same document
// (a `parent`, a `child`, a frame's `anchor`, an operation's `pathid`, ...),
// by what the catalogue's descriptions say of the element. Editors use it to
// show which object a value names; the id check uses the same knowledge.

#include <sdformat/Export.h>

namespace sdf {

class Element;

// False for elements that are not in the catalogue (an element made without
// a template) and for ids that number something other than objects.
SDF_EXPORT bool HoldsObjectId(const Element& element);

} // namespace sdf
