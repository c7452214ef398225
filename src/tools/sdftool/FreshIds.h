#pragma once

// Ids for objects the commands make: the library's fresh ids (above every
// id in use and not below the station's next_dataid), with failures that
// name the file.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/ObjectIds.h>

#include <string>

namespace sdftool {

class FreshIds
{
public:
    // Failure "FILE: no object id is left above N" when every id is used.
    FreshIds(const sdf::Element& root, const std::string& file);

    // The next id, taken.
    unsigned int take();

    // Gives element (made from templ) and every object below it that has
    // id 0 the next ids, in document order, one element at a time.
    void give(sdf::Element& element, const sdf::ElementTemplate& templ);

    // Moves the station's next_dataid on past every id taken, if any was.
    void record(sdf::Element& root) const;

private:
    std::string _file;
    sdf::FreshObjectIds _ids;
};

} // namespace sdftool
