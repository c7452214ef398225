#pragma once

// How deeply a JSON text nests arrays and objects, counted without parsing
// it, so that a hostile glTF file is refused before a recursive parser sees
// it.

#include <cstddef>
#include <string_view>

namespace cell::detail {

// The deepest nesting of [ and { outside strings; stops counting once
// past limit and returns limit + 1.
std::size_t JsonDepth(std::string_view text, std::size_t limit);

} // namespace cell::detail
