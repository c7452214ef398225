#pragma once

// Internal to the library: keeps the signals a failing write raises from
// ending the process.

#include <signal.h>

namespace sdf::detail {

// While it lives, SIGXFSZ (a write past the process's file-size limit) and
// SIGPIPE (a write to a pipe nobody reads any more) are blocked in the
// calling thread, so that such a write fails with EFBIG or EPIPE and the
// writer can clean up and report it, whatever the process's handlers for
// those signals are. The kernel sends both to the thread that wrote, so
// blocking them here is enough even when other threads leave them open.
// On destruction a signal of the two that became pending meanwhile is taken
// back before the previous mask returns; one that was pending before is
// left for its owner.
class WriteSignalGuard
{
public:
    WriteSignalGuard();
    ~WriteSignalGuard();

    WriteSignalGuard(const WriteSignalGuard&) = delete;
    WriteSignalGuard& operator=(const WriteSignalGuard&) = delete;

private:
    sigset_t _previousMask;
    sigset_t _pendingBefore;
    bool _blocked = false;
};

} // namespace sdf::detail
