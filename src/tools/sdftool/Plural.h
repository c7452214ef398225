#pragma once

#include <fmt/format.h>

#include <string>
#include <string_view>

namespace sdftool {

// "1 element", "2 elements".
inline std::string Counted(std::size_t count, std::string_view noun)
{
    return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

} // namespace sdftool
