#pragma once

// Giving an object another parent with the child lists in step: the id
// leaves every child list that names it and joins the new parent's. The
// element stays where it is in the document: the parent an object has is
// its `parent`, not the element around it.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

namespace sdf {

class SDF_EXPORT ObjectParent
{
public:
    // object must be an object of a document (precondition); parentId 0
    // leaves it without a parent. std::invalid_argument "no object has id
    // N" or "object N can not be its own parent, nor that of an object
    // above it" (nothing changes then).
    static void Set(Element& object, unsigned int parentId);
};

} // namespace sdf
