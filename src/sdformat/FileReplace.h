#pragma once

// Internal to the library: how documents reach the disk.

#include <filesystem>
#include <string_view>

namespace sdf {

// Makes the file at path hold exactly bytes. The bytes go to a new file in
// the same directory, which takes the place of the old one only once it is
// completely written, flushed to the device and closed; until then, and
// after any failure, the previous file stays as it was and no temporary
// file is left behind. The new file keeps the permissions of the file it
// replaces (a new one gets 0666 less the umask). A symbolic link is
// followed, so the file it points to is replaced and the link stays.
// Every failure throws std::runtime_error "write file failure".
void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

} // namespace sdf
