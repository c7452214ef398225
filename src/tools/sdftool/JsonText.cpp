#include "JsonText.h"

#include <sdformat/Utf8Char.h>

#include <fmt/format.h>

#include <atomic>

namespace sdftool {

namespace {

std::atomic<std::size_t> replacements{0};

} // namespace

std::string JsonString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                out += fmt::format("\\u{:04x}", static_cast<unsigned>(static_cast<unsigned char>(c)));
            } else if (static_cast<unsigned char>(c) < 0x80) {
                out.push_back(c);
            } else if (const sdf::Utf8Char u = sdf::Utf8Char::At(text, at); u.length != 0) {
                out.append(text.substr(at, u.length));
                at += u.length - 1;
            } else {
                // One replacement per byte that starts no character.
                out += "\xef\xbf\xbd";
                replacements.fetch_add(1, std::memory_order_relaxed);
            }
        }
    }
    out.push_back('"');
    return out;
}

std::size_t JsonReplacements()
{
    return replacements.load(std::memory_order_relaxed);
}

} // namespace sdftool
