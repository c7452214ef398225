#include "DocumentError.h"

#include <fmt/format.h>

namespace sdftool {

namespace {

std::string located(const std::string& file, const std::string& message, std::size_t line, std::size_t column)
{
    if (line == 0)
        return fmt::format("{}: error: {}", file, message);
    return fmt::format("{}:{}:{}: error: {}", file, line, column, message);
}

} // namespace

DocumentError::DocumentError(std::string file, std::string message, std::size_t line, std::size_t column)
    : Failure(located(file, message, line, column)), _file(std::move(file)), _message(std::move(message)),
      _line(line), _column(column)
{
}

} // namespace sdftool
