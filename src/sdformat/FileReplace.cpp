#include <sdformat/FileReplace.h>

#include <sdformat/WriteInProgress.h>
#include <sdformat/WriteSignalGuard.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <random>
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

using detail::WriteInProgress;

[[noreturn]] void ThrowWriteFailure()
{
    throw std::runtime_error("write file failure");
}

// As many symbolic links as the kernel follows in one path.
constexpr int kMaxLinks = 40;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// An open file descriptor, closed with its owner.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : _fd(fd) {}
    ~Descriptor()
    {
        if (_fd >= 0)
            ::close(_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        std::swap(_fd, other._fd);
        return *this;
    }

    int get() const { return _fd; }
    explicit operator bool() const { return _fd >= 0; }

    // Closes now; false when the system reports an error of closing.
    bool close()
    {
        const int fd = std::exchange(_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int _fd;
};

// Six characters that make a temporary name unique among concurrent
// writers; a name that exists already is simply drawn again.
std::string RandomSuffix()
{
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^
                                        static_cast<std::uint64_t>(::getpid()) ^
                                        static_cast<std::uint64_t>(
                                            std::chrono::steady_clock::now().time_since_epoch().count()));
    std::string suffix(6, '0');
    for (char& c : suffix)
        c = kAlphabet[random() % (sizeof(kAlphabet) - 1)];
    return suffix;
}

// ".<name>.saving-XXXXXX" beside target: hidden, and telling a person whose
// unfinished save it is. A long name is shortened (never inside a UTF-8
// character) so that the whole fits the directory's limit on name length.
std::string TemporaryName(const std::filesystem::path& target)
{
    static constexpr std::string_view kMark = ".saving-";
    const std::filesystem::path directory = target.parent_path();
    const std::string name = target.filename().native();
    long limit = ::pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = NAME_MAX;
    const std::size_t fixed = 1 + kMark.size() + 6;
    std::size_t keep = name.size();
    if (fixed + keep > static_cast<std::size_t>(limit)) {
        keep = static_cast<std::size_t>(limit) > fixed ? static_cast<std::size_t>(limit) - fixed : 0;
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
    }
    return (directory / ("." + name.substr(0, keep) + std::string(kMark) + RandomSuffix())).native();
}

// Writes all of bytes into the file from offset start on; done tells how
// many were written, also after a failure. progress learns beforehand how
// far each call may reach, for an interruption in the middle of one.
bool WriteAt(int fd, off_t start, std::string_view bytes, WriteInProgress* progress, std::size_t& done)
{
    done = 0;
    while (done < bytes.size()) {
        if (progress)
            progress->mayTouch(bytes.size());
        const ssize_t written = ::pwrite(fd, bytes.data() + done, bytes.size() - done, start + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
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

// A temporary file beside the target, exclusively created; removed again
// unless committed.
class TemporaryFile
{
public:
    // Check created(): a directory that forbids new files is an answer,
    // not an error, for a caller that can write in place instead.
    TemporaryFile(const std::filesystem::path& target, WriteInProgress& progress) : _progress(progress)
    {
        constexpr int kAttempts = 100;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            _name = TemporaryName(target);
            // Announced before it exists, so that an interruption never
            // leaves it behind unknown.
            _progress.temporaryFile(_name.c_str());
            // 0666: the kernel takes the umask away, as for any new file.
            _fd = Descriptor(::open(_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
            if (_fd)
                return;
            const int error = errno;
            _progress.clear();
            if (error != EEXIST)
                break;
        }
        _name.clear();
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile()
    {
        _fd.close();
        if (!_name.empty()) {
            ::unlink(_name.c_str());
            _progress.clear();
        }
    }

    bool created() const { return static_cast<bool>(_fd); }
    int fd() const { return _fd.get(); }

    // Gives the new file the owner and group of the old one. Where the
    // user may not, only the administrator can.
    bool takeOwnerOf(const struct stat& old)
    {
        struct stat now{};
        if (::fstat(_fd.get(), &now) != 0)
            return false;
        return (now.st_uid == old.st_uid && now.st_gid == old.st_gid) || ::fchown(_fd.get(), old.st_uid, old.st_gid) == 0;
    }

    // Gives the new file the mode of the old one, after its contents, as
    // writing may clear set-id bits. The kernel may also quietly drop a
    // set-group-id bit, hence the check.
    bool takeModeOf(const struct stat& old)
    {
        struct stat now{};
        return ::fchmod(_fd.get(), old.st_mode & 07777) == 0 && ::fstat(_fd.get(), &now) == 0 &&
               (now.st_mode & 07777) == (old.st_mode & 07777) && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
    }

    void write(std::string_view bytes)
    {
        std::size_t reached = 0;
        if (!WriteAt(_fd.get(), 0, bytes, nullptr, reached))
            ThrowWriteFailure();
    }

    // Flushes and closes; a failure of either means the data may not be on
    // the device, so the old file must stay.
    void finish()
    {
        if (::fsync(_fd.get()) != 0 || !_fd.close())
            ThrowWriteFailure();
    }

    // Puts the finished file in the target's place, in one step.
    void commit(const std::filesystem::path& target)
    {
        if (::rename(_name.c_str(), target.c_str()) != 0)
            ThrowWriteFailure();
        _name.clear();
        _progress.clear();
    }

private:
    WriteInProgress& _progress;
    std::string _name;
    Descriptor _fd;
};

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
    if (!target || !target->has_filename())
        ThrowWriteFailure();
    TemporaryFile file(*target, progress);
    if (!file.created())
        ThrowWriteFailure();
    file.write(bytes);
    file.finish();
    file.commit(*target);
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
    file.write(bytes);
    if (!file.takeModeOf(old))
        return false;
    file.finish();
    file.commit(target);
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
    Descriptor reader(::open(("/proc/self/fd/" + std::to_string(fd)).c_str(), O_RDONLY | O_CLOEXEC));
    if (!reader)
        reader = Descriptor(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
        if (copied)
            detail::RestoreInPlace(fd, start, backup, reached);
        progress.clear();
        ThrowWriteFailure();
    }
    progress.clear();
}

} // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes)
{
    if (path.empty() || !path.has_filename())
        ThrowWriteFailure();
    const detail::WriteSignalGuard quiet;
    WriteInProgress progress;
    int own = OwnDescriptor(path);

    // The one question of permission, answered by the kernel as for any
    // program. Without blocking, so that a pipe nobody reads fails at once
    // instead of freezing the caller; for other files it changes nothing.
    Descriptor file(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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
        file = Descriptor(::fcntl(own, F_DUPFD_CLOEXEC, 0));
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
        ThrowWriteFailure();

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
