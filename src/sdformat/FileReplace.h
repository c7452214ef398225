#pragma once

// Internal to the library: how documents reach the disk.

#include <filesystem>
#include <string_view>

namespace sdf {

// Makes the file at path hold exactly bytes, or leaves it as it was and
// throws std::runtime_error "write file failure".
//
// Whether the file may be written is decided by opening it for writing, so
// permissions, access control lists, read-only mounts and the
// administrator's rights count exactly as for any program that opens it.
// A regular file is replaced in one step, by writing a new file
// ".<name>.saving-XXXXXX" beside it and renaming that over it, wherever the
// new file can look the same as the old one: one link, a directory the user
// may write, the same owner, group and mode, no extended attributes.
// Otherwise the bytes go into the file itself, after a copy of its old
// contents was taken in memory, which a failure part-way puts back. A
// symbolic link is followed to its final target and stays a link; a loop
// fails. Character devices and pipes are written as streams; a pipe that
// nobody reads fails instead of waiting. A path naming one of the process's
// own descriptors (/dev/stdout, /dev/fd/N) is written where that stream
// stands. A new file is made through a temporary one as well. Signals a
// failing write raises (file-size limit, broken pipe) never end the
// process; no temporary file survives a failure.
void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes);

} // namespace sdf
