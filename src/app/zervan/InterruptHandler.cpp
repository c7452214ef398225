#include "InterruptHandler.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QSocketNotifier>

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <QtCore/QMetaObject>
#else
#include <cerrno>
#include <fcntl.h>
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

int wakePipe[2] = {-1, -1};

extern "C" void onInterrupt(int)
{
    if (!listening.load(std::memory_order_relaxed))
        return;
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a pending request.
    [[maybe_unused]] const auto written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

void drainPipe()
{
    char buffer[64];
    while (::read(wakePipe[0], buffer, sizeof buffer) > 0) {
    }
}

#endif

} // namespace

void InterruptHandler::install()
{
#ifdef _WIN32
    std::signal(SIGINT, onInterrupt);
#else
    if (::pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0)
        return; // Ctrl+C keeps its default effect
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
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
