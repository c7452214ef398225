#include "ToolSignals.h"

#include <sdformat/SDF.h>

#include <signal.h>
#include <unistd.h>

namespace sdftool {

namespace {

extern "C" void onInterrupt(int signal)
{
    sdf::SDF::UndoWritesInProgress();
    ::_exit(128 + signal);
}

} // namespace

void InstallToolSignals()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // One cleanup at a time, whichever signal comes second.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction previous = {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
    ::signal(SIGXFSZ, SIG_IGN);
}

} // namespace sdftool
