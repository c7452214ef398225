#pragma once

// A document that could not be read: the file, the message and, when it
// is known, the place in the file. Printed the way compilers print errors,
// so that editors and CI logs can jump to the place:
//   FILE:LINE:COLUMN: error: MESSAGE     (place known)
//   FILE: error: MESSAGE                 (place unknown)

#include "Command.h"

#include <cstddef>
#include <string>

namespace sdftool {

class DocumentError : public Failure
{
public:
    // line and column count from 1; 0 means unknown.
    DocumentError(std::string file, std::string message, std::size_t line = 0, std::size_t column = 0);

    const std::string& file() const { return _file; }
    const std::string& message() const { return _message; }
    std::size_t line() const { return _line; }
    std::size_t column() const { return _column; }

private:
    std::string _file;
    std::string _message;
    std::size_t _line;
    std::size_t _column;
};

} // namespace sdftool
