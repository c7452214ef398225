#pragma once

#include <memory>

class QSocketNotifier;

namespace zrv {

// Ctrl+C (SIGINT) and SIGTERM end the event loop with code 0, so that the
// plug-ins are shut down as on any other quit.
//
// Almost nothing may be done inside a signal handler, and certainly not
// calling into Qt, so the handler only writes a byte to a pipe; a socket
// notifier on the main thread reads it and asks the application to exit.
// The main thread may be busy for long, though (a save into a pipe nobody
// reads, a hostile file): a watchdog thread woken through a second pipe
// gives it a second. If the process still runs then, or at a second
// signal, the watchdog has the library undo the writes in progress (their
// temporary files removed, files written in place put back) and ends the
// process at once with 128 + the signal's number (130, 143). A signal the
// process was started with ignored stays ignored.
class InterruptHandler
{
public:
    // How long the main thread has to quit after a signal.
    static constexpr int GraceMilliseconds = 1000;

    // Installs the signal handlers and starts the watchdog. Until an
    // InterruptHandler object exists, a signal ends the process through the
    // watchdog alone.
    static void install();

    // Needs the application object. A request made before the event loop
    // runs is carried out as soon as it does.
    InterruptHandler();
    ~InterruptHandler();

    InterruptHandler(const InterruptHandler&) = delete;
    InterruptHandler& operator=(const InterruptHandler&) = delete;

private:
    std::unique_ptr<QSocketNotifier> notifier;
};

} // namespace zrv
