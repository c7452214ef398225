#include <sdformat/MessageText.h>

namespace sdf::detail {
namespace {

constexpr std::string_view kEllipsis = "...";

bool IsContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Where the character starting at `at` ends: its lead byte and at most three
// continuation bytes, so that no run of stray bytes counts as one.
std::size_t NextCharacter(std::string_view text, std::size_t at)
{
    const std::size_t end = at + 4 < text.size() ? at + 4 : text.size();
    ++at;
    while (at < end && IsContinuation(text[at]))
        ++at;
    return at;
}

} // namespace

std::string ForMessage(std::string_view text)
{
    // Every character takes at least one byte.
    if (text.size() <= kMessageQuoteLimit)
        return std::string(text);
    const std::size_t keep = kMessageQuoteLimit - kEllipsis.size();
    std::size_t at = 0;
    std::size_t cut = 0;
    for (std::size_t count = 0; at < text.size(); ++count) {
        if (count == keep)
            cut = at;
        if (count == kMessageQuoteLimit) {
            std::string quoted(text.substr(0, cut));
            quoted.append(kEllipsis);
            return quoted;
        }
        at = NextCharacter(text, at);
    }
    return std::string(text);
}

} // namespace sdf::detail
