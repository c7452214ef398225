#pragma once

// The description of one attribute, or of an element's own value, as a
// description file declares it. A plain record; copying copies everything.

#include <any>
#include <string>

namespace sdf {

struct AttrTemplate
{
    std::string _label;    // attribute name; for an element's value, the element's name
    std::string _type;     // registered type name
    std::any _default;     // the description's default text, converted by the type's reader
    bool _required = false;
};

} // namespace sdf
