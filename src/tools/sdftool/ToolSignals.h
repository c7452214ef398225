#pragma once

namespace sdftool {

// Ctrl+C (SIGINT) or SIGTERM in the middle of a save must not leave a
// temporary file or a half-written station behind: the handler has the
// library undo the writes in progress, then ends the tool as interrupted
// commands end, with 128 + the signal's number (130, 143). A signal the
// tool was started with ignored stays ignored. A signal that arrives once
// the tool's write is through (the file replaced) changes nothing: the save
// happened, and the tool ends as it would have.
//
// SIGXFSZ is ignored, so that printing past the file-size limit fails like
// any other output (reported, exit 1) instead of ending the tool; the
// library's own writes need nothing of the host for that.
void InstallToolSignals();

} // namespace sdftool
