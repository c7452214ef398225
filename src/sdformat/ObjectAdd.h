#pragma once

// Adding an object below another as an editor does: the kinds the catalogue
// lets the parent hold, and a new object of one of them with its required
// children, fresh ids, a name of its own among its siblings and its place
// in the parent's child list.

#include <sdformat/Element.h>
#include <sdformat/Export.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class SDF_EXPORT ObjectAdd
{
public:
    // The labels of the objects the parent's template holds, in catalogue
    // order, each once; empty when parent is not an object of a document.
    static std::vector<std::string> Kinds(const Element& parent);

    // Appends a new object of that kind below parent (an object of a
    // document) and returns it. It and the objects it requires get ids above
    // every id in use and not below the station's next_dataid, which then
    // moves past them; its `parent` names parent, whose child list gains it.
    // std::invalid_argument "'KIND' is not an object that LABEL can hold".
    static std::shared_ptr<Element> Add(Element& parent, std::string_view kind);

    // Adds a part (as Add does) from the file at uri: its `uri`, and one
    // body whose geometry is that file, of that file type ("step", "gltf", ...); the part has name
    // (made unique among its siblings), the body too. Returns the part.
    static std::shared_ptr<Element> AddGeometryPart(Element& parent, std::string_view name, std::string_view uri,
                                                    std::string_view fileType);

    // base when no object directly below parent has that name, or else base
    // with the first free "_2", "_3", ... after it.
    static std::string UniqueName(const Element& parent, std::string_view base);
};

} // namespace sdf
