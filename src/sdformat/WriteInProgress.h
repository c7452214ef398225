#pragma once

// Internal to the library: what an interrupted process must undo of the
// document writes it has in progress.

#include <signal.h>
#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace sdf::detail {

// One write, announced for as long as it runs, so that
// SDF::UndoWritesInProgress (called from a signal handler) can remove its
// temporary file or put back the old contents of a file it writes in place.
// A process has a fixed number of places for announcements; a write that
// finds none taken free simply goes unannounced.
class WriteInProgress
{
public:
    WriteInProgress();
    ~WriteInProgress();

    WriteInProgress(const WriteInProgress&) = delete;
    WriteInProgress& operator=(const WriteInProgress&) = delete;

    // The write may create a file of that name, to be removed if
    // interrupted. Announced before the file is created, so that no instant
    // exists where it is there but unknown; name must outlive the
    // announcement.
    void temporaryFile(const char* name);

    // The write puts its bytes into fd from offset start on; backup holds
    // the file's old contents from start to its end and must outlive the
    // announcement.
    void inPlace(int fd, off_t start, std::string_view backup);

    // The bytes from start to start + end may be overwritten from now on.
    void mayTouch(std::size_t end);

    // Nothing left to undo.
    void clear();

    // Nothing left to undo because the write is through: the file has its
    // new contents. Counted for SDF::CompletedWrites. The caller blocks
    // the interrupting signals from before the step that completes the
    // write until after this, so that a handler never finds the new file
    // in place and the write not yet counted.
    void completed();

private:
    int _slot = -1;
};

// Blocks SIGINT and SIGTERM in the calling thread for as long as it lives;
// one that arrives meanwhile is handled once the previous mask returns.
class InterruptBlock
{
public:
    InterruptBlock();
    ~InterruptBlock();

    InterruptBlock(const InterruptBlock&) = delete;
    InterruptBlock& operator=(const InterruptBlock&) = delete;

private:
    sigset_t _previousMask;
    bool _blocked = false;
};

// Puts back what an in-place write changed: the first touched bytes of the
// backup at start, and the file's old length. Async-signal-safe. False when
// a part of it failed.
bool RestoreInPlace(int fd, off_t start, std::string_view backup, std::size_t touched) noexcept;

} // namespace sdf::detail
