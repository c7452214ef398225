#pragma once

// What the window says about a station that could not be read: where and
// why, the way the command-line tool says it ("FILE:LINE:COLUMN: error:
// MESSAGE"), and a missing, empty or unreadable file told apart from one
// that is not a station.

#include <filesystem>
#include <string>

namespace zrv::core {

class ReadFailure
{
public:
    // The reader failed on file with message; looks at the file again to
    // say why and where.
    static std::string Describe(const std::filesystem::path& file, const std::string& message);
};

} // namespace zrv::core
