#include "ReadFailure.h"

#include <sdformat/ReadPlace.h>

#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zrv::core {

std::string ReadFailure::Describe(const std::filesystem::path& file, const std::string& message)
{
    const std::string name = file.string();
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (error || !std::filesystem::exists(status))
        return fmt::format("{}: error: no such file", name);
    if (std::filesystem::is_directory(status))
        return fmt::format("{}: error: not a regular file (a directory)", name);
    if (!std::filesystem::is_regular_file(status))
        return fmt::format("{}: error: not a regular file", name);
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        const int why = errno;
        return fmt::format("{}: error: {}", name,
                           why == EACCES || why == EPERM ? "permission denied" : message);
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (text.empty())
        return fmt::format("{}: error: empty file", name);
    const auto place = sdf::ReadPlace::Find(text);
    if (!place)
        return fmt::format("{}: error: {}", name, message);
    if (!place->parserDescription.empty())
        return fmt::format("{}:{}:{}: error: {}: {}", name, place->line, place->column, message,
                           place->parserDescription);
    return fmt::format("{}:{}:{}: error: {}", name, place->line, place->column, message);
}

} // namespace zrv::core
