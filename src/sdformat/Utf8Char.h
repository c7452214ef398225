#pragma once

// One character of UTF-8 text, decoded strictly: the shortest form only,
// no surrogates (U+D800..U+DFFF), nothing above U+10FFFF. Shared by the
// document writer, which must refuse what a reader would reject, and by
// the tool's JSON, which must stay valid whatever bytes a document holds.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sdf {

struct Utf8Char
{
    std::uint32_t code = 0;
    std::size_t length = 0;   // 0 when text holds no valid character at the place

    // The character at text[at] (at < text.size()).
    static constexpr Utf8Char At(std::string_view text, std::size_t at)
    {
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        const unsigned char lead = byte(at);
        if (lead < 0x80)
            return {lead, 1};
        std::size_t length = 0;
        std::uint32_t code = 0;
        std::uint32_t least = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, code = lead & 0x1Fu, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, code = lead & 0x0Fu, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, code = lead & 0x07u, least = 0x10000;
        } else {
            return {};
        }
        if (text.size() - at < length)
            return {};
        for (std::size_t i = 1; i < length; ++i) {
            if ((byte(at + i) & 0xC0u) != 0x80u)
                return {};
            code = (code << 6) | (byte(at + i) & 0x3Fu);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return {};
        return {code, length};
    }

    // Whether XML 1.0 can carry the character (as itself or as a reference).
    constexpr bool xmlCarries() const
    {
        if (length == 0)
            return false;
        if (code < 0x20)
            return code == '\t' || code == '\n' || code == '\r';
        return code != 0xFFFE && code != 0xFFFF;
    }
};

} // namespace sdf
