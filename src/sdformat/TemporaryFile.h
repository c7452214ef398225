#pragma once

// Internal to the library: the new file a save writes before it takes the
// old one's place.

#include <sdformat/FileDescriptor.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

namespace sdf::detail {

class WriteInProgress;

// A file ".<name>.saving-XXXXXX" beside the target, exclusively created:
// hidden, and telling a person whose unfinished save it is. A long name is
// shortened (never inside a UTF-8 character) so that the whole fits the
// directory's limit on name length. It is announced to progress before it
// exists, so that an interruption never leaves it behind unknown, and
// removed again unless committed.
class TemporaryFile
{
public:
    // Check created(): a directory that forbids new files is an answer,
    // not an error, for a caller that can write in place instead.
    TemporaryFile(const std::filesystem::path& target, WriteInProgress& progress);
    ~TemporaryFile();

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return static_cast<bool>(_fd); }
    int fd() const { return _fd.get(); }

    // Gives the new file the owner and group of the old one, which only the
    // administrator may do for another user's file.
    bool takeOwnerOf(const struct stat& old);

    // Gives the new file the mode of the old one; call it after writing the
    // contents, as writing may clear set-id bits. The kernel may also
    // quietly drop a set-group-id bit, hence the check.
    bool takeModeOf(const struct stat& old);

    // Flushes and closes; a failure of either means the data may not be on
    // the device, so the old file must stay.
    bool finish();

    // Puts the finished file in the target's place, in one step.
    bool commit(const std::filesystem::path& target);

private:
    WriteInProgress& _progress;
    std::string _name;
    FileDescriptor _fd;
};

} // namespace sdf::detail
