#pragma once

// Value texts on the hot paths of reading and writing documents. Internal
// to the library. The common types (texts, numbers, booleans, the
// geometric values) go straight to the codecs the type registry wraps
// (ValueCodec.h), without the registry's lookups by name and type and
// without a temporary string; every other type goes through the registry.

#include <any>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sdf {

namespace detail {
class TextPieces;
} // namespace detail

// The value that the reader registered under typeName makes of text;
// std::out_of_range for a name that is not registered.
std::any ReadValueText(const std::string& typeName, std::string_view text);

// Where a text goes decides what must be escaped: '&' and '<' everywhere,
// and the single quote also inside a single-quoted attribute.
enum class TextPlace : std::uint8_t
{
    Content = 1,
    Attribute = 2,
};

// What the writers below throw for a text holding a control character
// other than tab, line feed and carriage return, U+FFFE, U+FFFF, a
// surrogate or bytes that are not UTF-8: XML 1.0 cannot carry them, even as
// character references, so a document holding one could never be read
// again. The document writer turns it into an error naming the
// element, which it looks for only then (FindUnwritable).
struct UnwritableCharacter
{
};

// Where text holds the first character XML cannot carry, or npos.
std::size_t FindUnwritable(std::string_view text);

// What is wrong with the character at text[at] that FindUnwritable found:
// "U+0001, which XML cannot carry" or "the byte 0xFF, which is not UTF-8".
std::string DescribeUnwritable(std::string_view text, std::size_t at);

// Appends text to out with the entity references its place needs;
// UnwritableCharacter (out partly appended) for a text XML cannot carry.
void AppendEscaped(std::string& out, std::string_view text, TextPlace place);

// Appends the escaped text that the writer registered for the value's
// stored type makes of it; std::out_of_range for an unregistered type,
// UnwritableCharacter as AppendEscaped.
void AppendValueText(std::string& out, const std::any& value, TextPlace place);

// The same into the document writer's blocks: a text that needs no
// escaping and an unsigned number, the most common values, go in directly
// rather than through a scratch string.
void PutValueText(detail::TextPieces& out, const std::any& value, TextPlace place);

} // namespace sdf
