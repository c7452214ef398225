#include <sdformat/DocumentThreads.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace sdf::detail {

namespace {

std::atomic<unsigned> g_threads{0};

// More threads than this gain little: building competes for the memory
// bus, and every thread takes its own arena and name cache.
constexpr unsigned kMostThreads = 4;

} // namespace

void SetDocumentThreads(unsigned threads)
{
    g_threads.store(threads, std::memory_order_relaxed);
}

unsigned DocumentThreads()
{
    if (const unsigned set = g_threads.load(std::memory_order_relaxed))
        return set;
    // Asked once: finding the processor count reads files of the system.
    static const unsigned chosen = std::clamp(std::thread::hardware_concurrency(), 1U, kMostThreads);
    return chosen;
}

} // namespace sdf::detail
