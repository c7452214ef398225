#include <sdformat/FileReplace.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdf {

namespace {

[[noreturn]] void ThrowWriteFailure()
{
    throw std::runtime_error("write file failure");
}

// The file that writing to path means: the target of a symbolic link
// (followed to the end), otherwise path itself.
std::filesystem::path ResolveTarget(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error))
        return path;
    auto target = std::filesystem::canonical(path, error);
    if (!error)
        return target;
    // A dangling link: writing through it creates the file it names.
    target = std::filesystem::read_symlink(path, error);
    if (error)
        return path;
    return target.is_relative() ? path.parent_path() / target : target;
}

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

// An open, exclusively created temporary file beside the target; removes
// it again unless it was committed.
class TemporaryFile
{
public:
    explicit TemporaryFile(const std::filesystem::path& target)
    {
        const std::string base = target.native() + ".tmp-";
        constexpr int kAttempts = 100;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            _name = base + RandomSuffix();
            // 0666: the kernel takes the umask away, as for any new file.
            _fd = ::open(_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (_fd >= 0)
                return;
            if (errno != EEXIST)
                break;
        }
        _name.clear();
        ThrowWriteFailure();
    }

    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    ~TemporaryFile()
    {
        if (_fd >= 0)
            ::close(_fd);
        if (!_name.empty())
            ::unlink(_name.c_str());
    }

    void write(std::string_view bytes)
    {
        const char* at = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t written = ::write(_fd, at, left);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                ThrowWriteFailure();
            }
            at += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    // Gives the new file the permissions of the one it replaces.
    void copyModeFrom(const std::filesystem::path& target)
    {
        struct stat old{};
        if (::stat(target.c_str(), &old) != 0)
            return;
        if (::fchmod(_fd, old.st_mode & 07777) != 0)
            ThrowWriteFailure();
    }

    // Flushes and closes; a failure of either means the data may not be on
    // the device, so the old file must stay.
    void finish()
    {
        if (::fsync(_fd) != 0)
            ThrowWriteFailure();
        const int fd = _fd;
        _fd = -1;
        if (::close(fd) != 0)
            ThrowWriteFailure();
    }

    // Puts the finished file in the target's place, in one step.
    void commit(const std::filesystem::path& target)
    {
        if (::rename(_name.c_str(), target.c_str()) != 0)
            ThrowWriteFailure();
        _name.clear();
    }

private:
    std::string _name;
    int _fd = -1;
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

} // namespace

void ReplaceFileContents(const std::filesystem::path& path, std::string_view bytes)
{
    if (path.empty() || !path.has_filename())
        ThrowWriteFailure();
    const std::filesystem::path target = ResolveTarget(path);
    std::error_code error;
    // Only a regular file (or nothing) can be replaced; a directory or a
    // device at the path is not a document.
    const auto status = std::filesystem::status(target, error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        ThrowWriteFailure();

    TemporaryFile file(target);
    file.write(bytes);
    file.copyModeFrom(target);
    file.finish();
    file.commit(target);
    SyncDirectory(target.parent_path());
}

} // namespace sdf
