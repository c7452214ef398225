#include <sdformat/FileReplace.h>

#include <sdformat/FileDescriptor.h>
#include <sdformat/TemporaryFile.h>
#include <sdformat/WriteInProgress.h>
#include <sdformat/WriteSignalGuard.h>

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace sdf {

namespace {

using detail::FileDescriptor;
using detail::TemporaryFile;
using detail::WriteInProgress;

[[noreturn]] void ThrowWriteFailure(std::string_view reason)
{
    throw std::runtime_error(fmt::format("write file failure ({})", reason));
}

// Fails naming the system's reason, as a person reads it ("no space left
// on device", "file too large", "permission denied"). A call that failed
// without saying why (a write of no bytes) is an input/output error.
[[noreturn]] void ThrowWriteFailure(int error)
{
    std::string reason = std::error_code(error != 0 ? error : EIO, std::generic_category()).message();
    if (!reason.empty() && reason.front() >= 'A' && reason.front() <= 'Z' &&
        (reason.size() < 2 || reason[1] < 'A' || reason[1] > 'Z'))
        reason.front() = static_cast<char>(reason.front() - 'A' + 'a');
    ThrowWriteFailure(std::string_view(reason));
}

// The reason of the system call that just failed.
[[noreturn]] void ThrowWriteFailure()
{
    ThrowWriteFailure(errno);
}

// As many symbolic links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Writes all of bytes into the file from offset start on; done tells how
// many were written, also after a failure. progress learns beforehand how
// far each call may reach, for an interruption in the middle of one.
bool WriteAt(int fd, off_t start, std::string_view bytes, WriteInProgress* progress, std::size_t& done)
{
    done = 0;
    if (progress)
        progress->mayTouch(bytes.size());
    while (done < bytes.size()) {
        const ssize_t written = ::pwrite(fd, bytes.data() + done, bytes.size() - done, start + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Writes all of bytes to a pipe or device, waiting while one opened without
// blocking is full.
bool WriteStream(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
            pollfd ready{fd, POLLOUT, 0};
            if (::poll(&ready, 1, -1) < 0 && errno != EINTR)
                return false;
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The descriptor of this very process that path names (/dev/stdout,
// /dev/fd/1, /proc/self/fd/1, followed through symbolic links), if it is
// open for writing; -1 otherwise.
int OwnDescriptor(const std::filesystem::path& path)
{
    std::error_code error;
    std::filesystem::path at = std::filesystem::absolute(path, error).lexically_normal();
    if (error)
        return -1;
    const std::string byPid = "/proc/" + std::to_string(::getpid()) + "/fd";
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        const std::string directory = at.parent_path().native();
        const std::string name = at.filename().native();
        if ((directory == "/dev/fd" || directory == "/proc/self/fd" || directory == "/proc/thread-self/fd" ||
             directory == byPid) &&
            !name.empty() && name.size() < 10 && std::ranges::all_of(name, [](char c) { return c >= '0' && c <= '9'; })) {
            const int fd = std::stoi(name);
            const int flags = ::fcntl(fd, F_GETFL);
            return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY ? fd : -1;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error)
            return -1;
        at = (next.is_absolute() ? next : at.parent_path() / next).lexically_normal();
    }
    return -1;
}

// Where a new file made through path ends up: path itself, or the name at
// the end of its chain of symbolic links; nothing for a loop.
std::optional<std::filesystem::path> FinalName(const std::filesystem::path& path)
{
    std::filesystem::path at = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error)
            return at;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return std::nullopt;
}

// Extended attributes (an access control list among them) would not pass
// to a new file. The security label is no reason to keep the file, as the
// system gives every new file its own.
bool HasExtendedAttributes(int fd)
{
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0)
        return false;
    std::string names(static_cast<std::size_t>(size), '\0');
    const ssize_t listed = ::flistxattr(fd, names.data(), names.size());
    if (listed < 0)
        return true;
    names.resize(static_cast<std::size_t>(listed));
    for (std::size_t at = 0; at < names.size();) {
        const std::size_t end = std::min(names.find('\0', at), names.size());
        if (names.compare(at, end - at, "security.selinux") != 0)
            return true;
        at = end + 1;
    }
    return false;
}


// Makes the rename itself durable. Best effort: the document is in place
// already, so a failure here is not reported as a failed write.
void SyncDirectory(const std::filesystem::path& directory)
{
    const int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// A new file, made through a temporary one so that nobody ever sees it
// half written.
void CreateNewFile(const std::filesystem::path& path, std::string_view bytes, WriteInProgress& progress)
{
    const auto target = FinalName(path);
    if (!target)
        ThrowWriteFailure(ELOOP);
    if (!target->has_filename())
        ThrowWriteFailure(std::string_view("no file name"));
    TemporaryFile file(*target, progress);
    std::size_t written = 0;
    if (!file.created() || !WriteAt(file.fd(), 0, bytes, nullptr, written) || !file.finish() || !file.commit(*target))
        ThrowWriteFailure();
    SyncDirectory(target->parent_path());
}

// Replaces the regular file `old`, named by path, by a new file in one
// rename. False, with nothing changed, where the new file could not look
// the same to its users: no new file allowed in the directory, or an owner,
// group or mode that cannot be given to it.
bool ReplaceByRename(const std::filesystem::path& path, const struct stat& old, std::string_view bytes,
                     WriteInProgress& progress)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(path, error);
    struct stat named{};
    if (error || ::stat(target.c_str(), &named) != 0 || !SameFile(named, old))
        return false;
    TemporaryFile file(target, progress);
    if (!file.created() || !file.takeOwnerOf(old))
        return false;
    std::size_t written = 0;
    if (!WriteAt(file.fd(), 0, bytes, nullptr, written))
        ThrowWriteFailure();
    if (!file.takeModeOf(old))
        return false;
    if (!file.finish() || !file.commit(target))
        ThrowWriteFailure();
    SyncDirectory(target.parent_path());
    return true;
}

// The file's contents from start to its end, read through a descriptor of
// its own, as the writer's is write-only. False where the user may write
// the file but not read it.
bool ReadBackup(int fd, const std::filesystem::path& path, const struct stat& old, off_t start, std::string& backup)
{
    if (old.st_size <= start)
        return true;
    FileDescriptor reader(::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC));
    if (!reader)
        reader = FileDescriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat seen{};
    if (!reader || ::fstat(reader.get(), &seen) != 0 || !SameFile(seen, old))
        return false;
    backup.resize(static_cast<std::size_t>(old.st_size - start));
    std::size_t done = 0;
    while (done < backup.size()) {
        const ssize_t got = ::pread(reader.get(), backup.data() + done, backup.size() - done, start + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    backup.resize(done);
    return true;
}

// Writes bytes into the regular file open as fd from start on (and cuts it
// there if truncate), with a copy of what was there kept in memory, so that
// a failure part-way puts the file back as it was. A file the user may
// write but not read cannot be copied and is written without that net.
void WriteInPlace(int fd, const std::filesystem::path& path, const struct stat& old, off_t start, bool truncate,
                  std::string_view bytes, WriteInProgress& progress)
{
    std::string backup;
    const bool copied = ReadBackup(fd, path, old, start, backup);
    if (copied)
        progress.inPlace(fd, start, backup);
    std::size_t reached = 0;
    const bool written = WriteAt(fd, start, bytes, copied ? &progress : nullptr, reached) &&
                         (!truncate || ::ftruncate(fd, start + static_cast<off_t>(bytes.size())) == 0) &&
                         ::fsync(fd) == 0;
    if (!written) {
        const int error = errno;
        if (copied)
            detail::RestoreInPlace(fd, start, backup, reached);
        progress.clear();
        ThrowWriteFailure(error);
    }
    // An interrupt from here on finds the write through, not one to undo.
    const detail::InterruptBlock block;
    progress.completed();
}

} // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes)
{
    if (path.empty() || !path.has_filename())
        ThrowWriteFailure(std::string_view("no file name"));
    const detail::WriteSignalGuard quiet;
    WriteInProgress progress;
    int own = OwnDescriptor(path);

    // The one question of permission, answered by the kernel as for any
    // program. Without blocking, so that a pipe nobody reads fails at once
    // instead of freezing the caller; for other files it changes nothing.
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file) {
        if (errno != ENOENT || own >= 0)
            ThrowWriteFailure();
        CreateNewFile(path, bytes, progress);
        return;
    }
    struct stat old{};
    if (::fstat(file.get(), &old) != 0)
        ThrowWriteFailure();
    struct stat stream{};
    if (own >= 0 && ::fstat(own, &stream) == 0 && SameFile(stream, old)) {
        // Written through the process's own descriptor, where its stream
        // stands, after what it printed so far.
        if (own == STDOUT_FILENO)
            std::fflush(stdout);
        file = FileDescriptor(::fcntl(own, F_DUPFD_CLOEXEC, 0));
        if (!file)
            ThrowWriteFailure();
    } else {
        own = -1;
    }

    if (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode)) {
        if (!WriteStream(file.get(), bytes) || !file.close())
            ThrowWriteFailure();
        return;
    }
    // A directory cannot be opened for writing; a disk or a socket is not a
    // document.
    if (!S_ISREG(old.st_mode))
        ThrowWriteFailure(std::string_view(S_ISBLK(old.st_mode) ? "a disk, not a file" : "not a regular file"));

    if (own >= 0) {
        const int flags = ::fcntl(file.get(), F_GETFL);
        const bool appends = flags >= 0 && (flags & O_APPEND) != 0;
        const off_t start = appends ? old.st_size : ::lseek(file.get(), 0, SEEK_CUR);
        if (flags < 0 || start < 0)
            ThrowWriteFailure();
        WriteInPlace(file.get(), path, old, start, false, bytes, progress);
        if (!appends)
            ::lseek(file.get(), start + static_cast<off_t>(bytes.size()), SEEK_SET);
        return;
    }
    if (old.st_nlink == 1 && !HasExtendedAttributes(file.get()) && ReplaceByRename(path, old, bytes, progress))
        return;
    WriteInPlace(file.get(), path, old, 0, true, bytes, progress);
    // The contents are on the device already (fsync); closing a local file
    // after that has nothing left to report.
}

} // namespace sdf
