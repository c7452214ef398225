#pragma once

// A read-only stream buffer over text owned by someone else, so that a
// stream reader can run over a std::string_view without copying it.
// Internal to the library.

#include <streambuf>
#include <string_view>

namespace sdf::detail {

class ViewStreamBuf : public std::streambuf
{
public:
    ViewStreamBuf() = default;
    explicit ViewStreamBuf(std::string_view text) { view(text); }

    // Starts reading another text.
    void view(std::string_view text)
    {
        // The get area is only read; streambuf merely lacks a const form.
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }
};

} // namespace sdf::detail
