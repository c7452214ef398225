#pragma once

namespace sdftool {

// Starts the tool once more with glibc's heap backed by huge pages, unless
// the environment already sets glibc's tunables; returns only when it does
// not (or cannot) start again.
void StartWithHugePages(char** argv);

} // namespace sdftool
