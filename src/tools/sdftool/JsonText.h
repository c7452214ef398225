#pragma once

// Pieces of JSON output, for the commands' --json modes: each command
// prints one JSON object on standard output, followed by a line feed.

#include <cstddef>
#include <string>
#include <string_view>

namespace sdftool {

// text as a JSON string literal, quotes included. UTF-8 text stays UTF-8;
// what is not UTF-8 (a stray byte, an encoded surrogate, a cut character)
// becomes U+FFFD, so that the output is valid JSON whatever bytes a
// document, a file name or a message holds.
std::string JsonString(std::string_view text);

// How many times JsonString has replaced bytes so far, for the note that
// tells the user the output differs from the input there.
std::size_t JsonReplacements();

} // namespace sdftool
