#pragma once

// How many threads reading a large document may use. Internal to the
// library; benchmarks set it to compare one thread with several.

namespace sdf::detail {

// 0 (the default) lets the reader choose from the processor count; 1 reads
// every document on the calling thread alone.
void SetDocumentThreads(unsigned threads);

// The threads a large document is read with: at least 1.
unsigned DocumentThreads();

} // namespace sdf::detail
