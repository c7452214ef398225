#pragma once

#include <memory>

class QSocketNotifier;

namespace zrv {

// Ctrl+C ends the event loop with code 0, so that the plug-ins are shut down
// as on any other quit.
//
// Almost nothing may be done inside a signal handler, and certainly not
// calling into Qt, so the handler only writes a byte to a pipe; a socket
// notifier on the main thread reads it and asks the application to exit.
class InterruptHandler
{
public:
    // Installs the signal handler. Until an InterruptHandler object exists,
    // an interrupt has no effect.
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
