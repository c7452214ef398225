#include <sdformat/ChunkPool.h>

#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZRV_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZRV_POOL_ASAN 1
#endif
#endif

#ifdef ZRV_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace sdf::detail {

namespace {

// A kept chunk is out of bounds for the address sanitizer, so that memory
// used after it was given back is still found although it was not freed.
void Quarantine([[maybe_unused]] void* chunk)
{
#ifdef ZRV_POOL_ASAN
    ASAN_POISON_MEMORY_REGION(chunk, ChunkPool::kChunkSize);
#endif
}

void Unquarantine([[maybe_unused]] void* chunk)
{
#ifdef ZRV_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(chunk, ChunkPool::kChunkSize);
#endif
}

constexpr std::size_t kMostKept = ChunkPool::kKeptBytes / ChunkPool::kChunkSize;

class Kept
{
public:
    // Reserved up front, so that keeping a chunk never allocates.
    Kept() { _chunks.reserve(kMostKept); }

    void* take()
    {
        const std::lock_guard lock(_mutex);
        if (_chunks.empty())
            return nullptr;
        void* chunk = _chunks.back();
        _chunks.pop_back();
        Unquarantine(chunk);
        return chunk;
    }

    bool keep(void* chunk)
    {
        const std::lock_guard lock(_mutex);
        if (_chunks.size() >= kMostKept)
            return false;
        Quarantine(chunk);
        _chunks.push_back(chunk);
        return true;
    }

    std::size_t bytes()
    {
        const std::lock_guard lock(_mutex);
        return _chunks.size() * ChunkPool::kChunkSize;
    }

private:
    std::mutex _mutex;
    std::vector<void*> _chunks;
};

// Never destroyed: documents held by static objects may give their chunks
// back during exit, after any static pool would be gone. What it keeps at
// exit stays reachable and goes with the process.
Kept& TheKept()
{
    static Kept* const kept = new Kept;
    return *kept;
}

} // namespace

void* ChunkPool::Take()
{
    if (void* chunk = TheKept().take())
        return chunk;
    return ::operator new(kChunkSize);
}

void ChunkPool::Give(void* chunk) noexcept
{
    if (!chunk)
        return;
    if (!TheKept().keep(chunk))
        ::operator delete(chunk);
}

std::size_t ChunkPool::KeptBytes()
{
    return TheKept().bytes();
}

} // namespace sdf::detail
