#pragma once

// Reading and writing documents for the commands: the library's errors
// come back as Failure, prefixed with the file concerned.

#include <sdformat/SDF.h>

#include <memory>
#include <string>

namespace sdftool {

std::shared_ptr<sdf::SDF> ReadDocument(const std::string& path);

// Writes through the library's safe write: the file is replaced only once
// the new text is completely on disk.
void WriteDocument(const sdf::SDF& document, const std::string& path);

} // namespace sdftool
