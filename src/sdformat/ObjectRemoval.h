#pragma once

// Removing an object with everything below it, and what the rest of the
// document says of the objects removed: ids in other objects' fields
// (parents, anchors, collision sets, attachments, an operation's path, ...).
// The child lists that name them go with them; the other references are
// cleared (set to 0, "none") or left dangling, as the caller chooses.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

#include <memory>
#include <string>
#include <vector>

namespace sdf {

class SDF_EXPORT ObjectRemoval
{
public:
    struct Reference
    {
        std::shared_ptr<Element> element;   // the element holding the id
        std::string path;                   // its document path, e.g. "/sdf/station/attachment/target_id"
        unsigned int id = 0;                // the id of a removed object it names
    };

    enum class Dangling
    {
        Clear,   // set each reference to 0
        Keep,    // leave them naming ids that no object has
    };

    // The references, outside object's subtree and other than child list
    // entries, to object or any object below it, in document order. object
    // must be an object of a document (precondition).
    static std::vector<Reference> References(const Element& object);

    // Removes object and its subtree and every child list entry naming an
    // object removed; handles the other references as asked and returns
    // them as they were found.
    static std::vector<Reference> Remove(const std::shared_ptr<Element>& object, Dangling dangling);
};

} // namespace sdf
