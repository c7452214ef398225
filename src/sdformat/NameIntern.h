#pragma once

// One shared copy of each attribute name and type name. Internal to the
// library.
//
// A large station holds hundreds of thousands of attributes, and every one
// of them carried its own copies of a name and a type name out of a few
// dozen: 64 bytes each, a fifth of what a read document held. Interned, an
// attribute keeps two pointers. Names are never released: they are the
// names of the format and its types, a set that does not grow with the
// documents read.

#include <string>
#include <string_view>

namespace sdf::detail {

// An attribute's label and type name, both interned.
struct InternedNames
{
    const std::string* label;
    const std::string* type;
};

// The interned copy of text; the same pointer for equal texts, valid until
// the process ends. Safe from any thread.
const std::string* InternName(std::string_view text);

} // namespace sdf::detail
