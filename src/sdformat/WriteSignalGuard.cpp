#include <sdformat/WriteSignalGuard.h>

#include <cerrno>
#include <ctime>

#include <pthread.h>

namespace sdf::detail {

namespace {

constexpr int kWriteSignals[] = {SIGXFSZ, SIGPIPE};

sigset_t WriteSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kWriteSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

WriteSignalGuard::WriteSignalGuard()
{
    sigemptyset(&_previousMask);
    sigemptyset(&_pendingBefore);
    const sigset_t set = WriteSignals();
    _blocked = ::pthread_sigmask(SIG_BLOCK, &set, &_previousMask) == 0;
    if (_blocked)
        ::sigpending(&_pendingBefore);
}

WriteSignalGuard::~WriteSignalGuard()
{
    if (!_blocked)
        return;
    const int savedErrno = errno;
    sigset_t pending;
    sigemptyset(&pending);
    ::sigpending(&pending);
    for (const int signal : kWriteSignals) {
        if (!sigismember(&pending, signal) || sigismember(&_pendingBefore, signal))
            continue;
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, signal);
        const timespec now{0, 0};
        while (::sigtimedwait(&one, nullptr, &now) < 0 && errno == EINTR) {
        }
    }
    ::pthread_sigmask(SIG_SETMASK, &_previousMask, nullptr);
    errno = savedErrno;
}

} // namespace sdf::detail
