#include <sdformat/TemporaryFile.h>

#include <sdformat/WriteInProgress.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <random>
#include <string_view>

#include <fcntl.h>
#include <unistd.h>

namespace sdf::detail {

namespace {

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

} // namespace

TemporaryFile::TemporaryFile(const std::filesystem::path& target, WriteInProgress& progress) : _progress(progress)
{
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        _name = TemporaryName(target);
        _progress.temporaryFile(_name.c_str());
        // 0666: the kernel takes the umask away, as for any new file.
        _fd = FileDescriptor(::open(_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (_fd)
            return;
        const int error = errno;
        _progress.clear();
        // The caller names the reason of the failure.
        errno = error;
        if (error != EEXIST)
            break;
    }
    _name.clear();
}

TemporaryFile::~TemporaryFile()
{
    _fd.close();
    if (!_name.empty()) {
        ::unlink(_name.c_str());
        _progress.clear();
    }
}

bool TemporaryFile::takeOwnerOf(const struct stat& old)
{
    struct stat now{};
    if (::fstat(_fd.get(), &now) != 0)
        return false;
    return (now.st_uid == old.st_uid && now.st_gid == old.st_gid) || ::fchown(_fd.get(), old.st_uid, old.st_gid) == 0;
}

bool TemporaryFile::takeModeOf(const struct stat& old)
{
    struct stat now{};
    return ::fchmod(_fd.get(), old.st_mode & 07777) == 0 && ::fstat(_fd.get(), &now) == 0 &&
           (now.st_mode & 07777) == (old.st_mode & 07777) && now.st_uid == old.st_uid && now.st_gid == old.st_gid;
}

bool TemporaryFile::finish()
{
    return ::fsync(_fd.get()) == 0 && _fd.close();
}

bool TemporaryFile::commit(const std::filesystem::path& target)
{
    const InterruptBlock block;
    if (::rename(_name.c_str(), target.c_str()) != 0)
        return false;
    _name.clear();
    _progress.completed();
    return true;
}

} // namespace sdf::detail
