#include "ToolSignals.h"

#include <sdformat/SDF.h>

#include <signal.h>
#include <unistd.h>

namespace sdftool {

namespace {

extern "C" void onInterrupt(int signal)
{
    // The tool writes at most once and last: once that write is through,
    // the command has done its work and finishes with its own result.
    if (sdf::SDF::CompletedWrites() > 0)
        return;
    sdf::SDF::UndoWritesInProgress();
    ::_exit(128 + signal);
}

} // namespace

void InstallToolSignals()
{
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // What the handler returns to (the rest of a command whose write is
    // through) goes on as if nothing happened.
    action.sa_flags = SA_RESTART;
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
