#pragma once

// Names, values and paths taken from a document or a caller and quoted in
// an error message. A document may hold a name of many megabytes; quoting
// it whole would put all of it into the message, and from there into a
// log or an error panel. Internal to the library.

#include <cstddef>
#include <string>
#include <string_view>

namespace sdf::detail {

// The most characters a quoted text takes in a message, its ellipsis
// included.
inline constexpr std::size_t kMessageQuoteLimit = 200;

// The text as it is when it has at most kMessageQuoteLimit characters;
// otherwise its first characters followed by "..." (three full stops,
// plain ASCII like the rest of the messages), kMessageQuoteLimit characters
// in all. Characters are counted in UTF-8 and never cut in the middle; a
// byte that is not valid UTF-8 counts as one.
std::string ForMessage(std::string_view text);

} // namespace sdf::detail
