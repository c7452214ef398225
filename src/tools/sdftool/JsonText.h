#pragma once

// Pieces of JSON output, for the commands' --json modes: each command
// prints one JSON object on standard output, followed by a line feed.

#include <string>
#include <string_view>

namespace sdftool {

// text as a JSON string literal, quotes included. Bytes of 0x80 and above
// are passed through, so UTF-8 text stays UTF-8.
std::string JsonString(std::string_view text);

} // namespace sdftool
