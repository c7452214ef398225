#pragma once

// Where in a document's text the reader stopped. The reader reports what is
// wrong but not where, and its messages stay as they are; this finds the
// place by parsing the text again and walking it against the format's
// templates in the reader's own order, so that the first problem found is
// the one the reader failed on. For programs that show a failed read to a
// person (the window, the command-line tool).

#include <sdformat/Export.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sdf {

struct SDF_EXPORT ReadPlace
{
    std::size_t line = 0;   // from 1
    std::size_t column = 0; // from 1, in bytes
    // The XML parser's own description when the text is not well-formed,
    // e.g. "Start-end tags mismatch"; empty otherwise.
    std::string parserDescription;

    // The place of the first problem in text, or nothing when none is found.
    static std::optional<ReadPlace> Find(std::string_view text);
    // Line and column of a byte offset into text.
    static ReadPlace OfOffset(std::string_view text, std::size_t offset);
};

} // namespace sdf
