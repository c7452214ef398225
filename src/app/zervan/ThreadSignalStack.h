#pragma once

namespace zrv {

// Gives every thread of the process a stack of its own for signal
// handlers, so that a thread that overflows its stack (runaway recursion
// on a loader thread) still gets its crash trace printed: without one the
// handler would run on the exhausted stack and the process would die
// silently. The main thread's comes with the crash handler; the others'
// come from wrapping thread creation (see ThreadSignalStack.cpp).
class ThreadSignalStack
{
public:
    // The size of each thread's signal stack: room for the crash handler
    // to read debug information. Only the pages a handler touches are ever
    // committed.
    static constexpr unsigned long Size = 8ul << 20;

    // Gives the calling thread a signal stack unless it has one; it is
    // released when the thread ends.
    static void ensure();
};

} // namespace zrv
