#pragma once

// Internal to the library: an open file descriptor with an owner.

#include <unistd.h>

#include <utility>

namespace sdf::detail {

// Closes the descriptor with its owner, so that no path of a failing write
// leaks one.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : _fd(fd) {}
    ~FileDescriptor()
    {
        if (_fd >= 0)
            ::close(_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
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

} // namespace sdf::detail
