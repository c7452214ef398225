#pragma once

// Copying objects as station XML and pasting them into a document, the same
// or another one. The text is a whole station document: the copied objects
// with everything below them, inside bare shells of the objects they sit in
// (so that the document reads back), and the station's child list naming
// the copied ones. Pasted objects get fresh ids; ids among them follow the
// new ids, ids of objects outside the copy stay when the target document
// has such an object and are cleared (set to 0) and reported otherwise.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class SDF_EXPORT ObjectCopy
{
public:
    // The text of the objects (all of one document; precondition). An
    // object below another one copied goes with that one only.
    static std::string Write(const std::vector<const Element*>& objects);

    struct Unresolved
    {
        std::string path;       // below the pasted object, e.g. "Weld path/pathid"
        unsigned int id = 0;    // the id it named, which the target lacks
    };

    struct Pasted
    {
        std::vector<std::shared_ptr<Element>> objects;   // as placed below the parent
        std::vector<Unresolved> unresolved;              // references cleared
    };

    // Places the objects of text below parent (an object of a document)
    // with the names they had, made unique among their new siblings, their
    // `parent` naming parent and in its child list; the station's
    // next_dataid moves past the new ids. std::invalid_argument "the text
    // holds no station objects" or "'KIND' is not an object that LABEL can
    // hold" (nothing is pasted then); the reader's errors for text that is
    // not a station document.
    static Pasted Paste(std::string_view text, Element& parent);
};

} // namespace sdf
