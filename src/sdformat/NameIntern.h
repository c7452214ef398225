#pragma once

// One shared copy of each attribute name and type name. Internal to the
// library.
//
// A large station holds hundreds of thousands of attributes, and every one
// of them carried its own copies of a name and a type name out of a few
// dozen: 64 bytes each, a fifth of what a read document held. Interned, an
// attribute keeps one pointer to its pair of names. Names are never
// released: they are the names of the format and its types, a set that
// does not grow with the documents read.

#include <sdformat/AttrNames.h>

#include <string>
#include <string_view>

namespace sdf::detail {

// The interned copy of text; the same pointer for equal texts, valid until
// the process ends. Safe from any thread.
const std::string* InternName(std::string_view text);

// The interned pair of two interned names; the same pointer for the same
// two, valid until the process ends. Safe from any thread.
const InternedNames* InternNames(const std::string* label, const std::string* type);

} // namespace sdf::detail
