#include "InterruptHandler.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSocketNotifier>

#include <atomic>
#include <chrono>
#include <csignal>

#ifdef _WIN32
#include <QtCore/QMetaObject>
#else
#include <sdformat/SDF.h>

#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace zrv {

namespace {

std::atomic<bool> listening{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

#ifdef _WIN32

// Windows runs console interrupt handlers on a thread of their own, where
// posting an event to the application is allowed.
void onInterrupt(int)
{
    std::signal(SIGINT, onInterrupt);
    if (listening.load())
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

#else

int wakePipe[2] = {-1, -1};  // to the event loop
int watchPipe[2] = {-1, -1}; // to the watchdog
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free number");

extern "C" void onInterrupt(int signal)
{
    const int savedErrno = errno;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
    const char byte = 1;
    // A full pipe already holds a pending request.
    [[maybe_unused]] auto written = ::write(watchPipe[1], &byte, 1);
    if (listening.load(std::memory_order_relaxed))
        written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

void drainPipe()
{
    char buffer[64];
    while (::read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
}

// Waits for a signal, then for the grace period or a second signal, and
// ends the process unless it ended meanwhile.
void watch()
{
    pollfd wake{watchPipe[0], POLLIN, 0};
    while (::poll(&wake, 1, -1) < 0 && errno == EINTR) {
    }
    char byte = 0;
    [[maybe_unused]] auto got = ::read(watchPipe[0], &byte, 1);
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(InterruptHandler::GraceMilliseconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            break;
        wake.revents = 0;
        const int ready = ::poll(&wake, 1, static_cast<int>(left.count()));
        if (ready > 0)
            break; // a second signal: no more waiting
    }
    sdf::SDF::UndoWritesInProgress();
    ::_exit(128 + firstSignal.load());
}

#endif

} // namespace

void InterruptHandler::install()
{
#ifdef _WIN32
    std::signal(SIGINT, onInterrupt);
#else
    // The watchdog reads its pipe blocking; the handler never blocks on
    // either.
    if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0 || ::pipe2(watchPipe, O_CLOEXEC) != 0 ||
        ::fcntl(watchPipe[1], F_SETFL, O_NONBLOCK) != 0)
        return; // the signals keep their default effect
    std::thread(watch).detach();
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous = {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
#endif
}

InterruptHandler::InterruptHandler()
{
#ifndef _WIN32
    if (wakePipe[0] < 0)
        return;
    notifier = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [] {
        drainPipe();
        QCoreApplication::exit(0);
    });
#endif
    listening.store(true);
}

InterruptHandler::~InterruptHandler()
{
    listening.store(false);
}

} // namespace zrv
