#include <sdformat/WriteInProgress.h>

#include <sdformat/SDF.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sdf {

namespace detail {

namespace {

enum State : int { kFree, kClaimed, kTemporary, kInPlace };

// A signal handler may read these at any instant of the writer's thread, so
// every field is a lock-free atomic and the state is stored last.
struct Slot
{
    std::atomic<int> state{kFree};
    std::atomic<const char*> name{nullptr};
    std::atomic<int> fd{-1};
    std::atomic<off_t> start{0};
    std::atomic<const char*> backup{nullptr};
    std::atomic<std::size_t> backupSize{0};
    std::atomic<std::size_t> touched{0};
};
static_assert(std::atomic<const char*>::is_always_lock_free && std::atomic<std::size_t>::is_always_lock_free &&
                  std::atomic<off_t>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "signal handlers need lock-free fields");

std::atomic<std::size_t> completedWrites{0};

// More than enough for the writes one process runs at the same time.
constexpr int kSlots = 16;
Slot slots[kSlots];

} // namespace

WriteInProgress::WriteInProgress()
{
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slots[i].state.compare_exchange_strong(expected, kClaimed)) {
            _slot = i;
            return;
        }
    }
}

WriteInProgress::~WriteInProgress()
{
    if (_slot >= 0)
        slots[_slot].state.store(kFree);
}

void WriteInProgress::temporaryFile(const char* name)
{
    if (_slot < 0)
        return;
    Slot& slot = slots[_slot];
    slot.state.store(kClaimed);
    slot.name.store(name);
    slot.state.store(kTemporary);
}

void WriteInProgress::inPlace(int fd, off_t start, std::string_view backup)
{
    if (_slot < 0)
        return;
    Slot& slot = slots[_slot];
    slot.state.store(kClaimed);
    slot.fd.store(fd);
    slot.start.store(start);
    slot.backup.store(backup.data());
    slot.backupSize.store(backup.size());
    slot.touched.store(0);
    slot.state.store(kInPlace);
}

void WriteInProgress::mayTouch(std::size_t end)
{
    if (_slot >= 0)
        slots[_slot].touched.store(end);
}

void WriteInProgress::clear()
{
    if (_slot >= 0)
        slots[_slot].state.store(kClaimed);
}

void WriteInProgress::completed()
{
    completedWrites.fetch_add(1);
    clear();
}

InterruptBlock::InterruptBlock()
{
    sigemptyset(&_previousMask);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    _blocked = ::pthread_sigmask(SIG_BLOCK, &set, &_previousMask) == 0;
}

InterruptBlock::~InterruptBlock()
{
    if (_blocked)
        ::pthread_sigmask(SIG_SETMASK, &_previousMask, nullptr);
}

bool RestoreInPlace(int fd, off_t start, std::string_view backup, std::size_t touched) noexcept
{
    const int savedErrno = errno;
    const off_t oldLength = start + static_cast<off_t>(backup.size());
    struct stat now{};
    bool restored = ::fstat(fd, &now) == 0;
    // Only what was overwritten is written again, so that putting back
    // never reaches further than the failed write did (past a file-size
    // limit, say); a file already cut short lost its old end as well.
    std::size_t size = std::min(touched, backup.size());
    if (!restored || now.st_size < oldLength)
        size = backup.size();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::pwrite(fd, backup.data() + done, size - done, start + static_cast<off_t>(done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            restored = false;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    if (::fstat(fd, &now) != 0 || (now.st_size != oldLength && ::ftruncate(fd, oldLength) != 0))
        restored = false;
    errno = savedErrno;
    return restored;
}

} // namespace detail

std::size_t SDF::CompletedWrites() noexcept
{
    return detail::completedWrites.load();
}

void SDF::UndoWritesInProgress() noexcept
{
    const int savedErrno = errno;
    for (detail::Slot& slot : detail::slots) {
        switch (slot.state.load()) {
        case detail::kTemporary:
            ::unlink(slot.name.load());
            break;
        case detail::kInPlace:
            detail::RestoreInPlace(slot.fd.load(), slot.start.load(),
                                   {slot.backup.load(), slot.backupSize.load()}, slot.touched.load());
            break;
        default:
            break;
        }
    }
    errno = savedErrno;
}

} // namespace sdf
