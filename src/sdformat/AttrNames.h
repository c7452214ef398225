#pragma once

// The label and type name of an attribute, as one interned pair (see
// NameIntern). Internal to the library; public headers see it because
// Attr's accessors read through it.

#include <string>

namespace sdf::detail {

// Pairs are interned as well, so that an attribute keeps one pointer for
// both names: a large station holds hundreds of thousands of attributes
// and few distinct pairs.
struct alignas(8) InternedNames
{
    const std::string* label;
    const std::string* type;
};

} // namespace sdf::detail
