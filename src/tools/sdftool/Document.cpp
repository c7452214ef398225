#include "Document.h"

#include "Command.h"

#include <fmt/format.h>

#include <exception>

namespace sdftool {

std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path)
{
    try {
        return sdf::SDF::ReadSdfFromFile(path);
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: {}", path, e.what()));
    }
}

void WriteDocument(const sdf::SDF& document, const std::string& path)
{
    try {
        document.Write(path);
    } catch (const std::exception& e) {
        throw Failure(fmt::format("{}: {}", path, e.what()));
    }
}

} // namespace sdftool
