#include <sdformat/ReadArena.h>

#include <algorithm>
#include <mutex>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZRV_ARENA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZRV_ARENA_ASAN 1
#endif
#endif

#ifdef ZRV_ARENA_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace sdf::detail {

namespace {

// Chunks start small, so that reading a short document takes little, and
// grow to one standard size.
constexpr std::size_t kFirstChunk = 16 * 1024;
constexpr std::size_t kStandardChunk = 256 * 1024;

// Standard chunks of dropped documents are kept for the next read, up to
// this much (about what a 15 MB station takes). Given back to the heap,
// they would be returned to the system as often as not, and taken again
// page by page on the next read: with a fault per page that costs more
// than the whole parse. Opening one station after another is common;
// memory beyond the cap goes back.
constexpr std::size_t kCachedBytes = 64 * 1024 * 1024;

// A kept chunk is out of bounds for the address sanitizer, so that an
// element used after its document went is still found although its memory
// was not freed.
void Quarantine([[maybe_unused]] void* chunk)
{
#ifdef ZRV_ARENA_ASAN
    ASAN_POISON_MEMORY_REGION(chunk, kStandardChunk);
#endif
}

void Release([[maybe_unused]] void* chunk)
{
#ifdef ZRV_ARENA_ASAN
    ASAN_UNPOISON_MEMORY_REGION(chunk, kStandardChunk);
#endif
}

class ChunkCache
{
public:
    void* take()
    {
        const std::lock_guard lock(_mutex);
        if (_free.empty())
            return nullptr;
        void* chunk = _free.back();
        _free.pop_back();
        Release(chunk);
        return chunk;
    }

    // False when the cache is full; the caller frees the chunk.
    bool keep(void* chunk)
    {
        const std::lock_guard lock(_mutex);
        if (_free.size() >= kCachedBytes / kStandardChunk)
            return false;
        _free.push_back(chunk);
        Quarantine(chunk);
        return true;
    }

    std::size_t bytes()
    {
        const std::lock_guard lock(_mutex);
        return _free.size() * kStandardChunk;
    }

    // Reserved up front, so that keeping a chunk never allocates (it runs
    // where freeing must not fail).
    ChunkCache() { _free.reserve(kCachedBytes / kStandardChunk); }
    ~ChunkCache()
    {
        for (void* chunk : _free) {
            Release(chunk);
            ::operator delete(chunk);
        }
    }

private:
    std::mutex _mutex;
    std::vector<void*> _free;
};

ChunkCache& Cache()
{
    static ChunkCache cache;
    return cache;
}

} // namespace

std::size_t ReadArena::CachedBytes()
{
    return Cache().bytes();
}

ReadArena* ReadArena::Create()
{
    // The cache is made before any arena, so it is destroyed after the
    // last arena that static destruction could still free.
    Cache();
    auto* arena = new ReadArena();
    arena->_nextChunkSize = kFirstChunk;
    return arena;
}

void* ReadArena::allocateFromNewChunk(std::size_t size, std::size_t alignment)
{
    const std::size_t header = (sizeof(Chunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    const std::size_t need = header + size + alignment;
    const std::size_t chunkSize = std::max(_nextChunkSize, need);
    void* memory = chunkSize == kStandardChunk ? Cache().take() : nullptr;
    if (!memory)
        memory = ::operator new(chunkSize);
    auto* chunk = static_cast<Chunk*>(memory);
    chunk->next = _chunks;
    chunk->size = chunkSize;
    _chunks = chunk;
    _nextChunkSize = std::min(_nextChunkSize * 2, kStandardChunk);

    const auto begin = reinterpret_cast<std::uintptr_t>(chunk) + header;
    _end = reinterpret_cast<std::uintptr_t>(chunk) + chunkSize;
    const auto at = (begin + (alignment - 1)) & ~static_cast<std::uintptr_t>(alignment - 1);
    return reinterpret_cast<void*>(at);
}

void ReadArena::finishReading() noexcept
{
    // Trade the reader's claim for the blocks it took; what is still out
    // keeps the arena.
    _next = _end = 0;
    const std::uint64_t change = _handedOut - kReaderClaim;
    if (_live.fetch_add(change, std::memory_order_acq_rel) + change == 0)
        destroy();
}

void ReadArena::destroy() noexcept
{
    ChunkCache& cache = Cache();
    for (Chunk* chunk = _chunks; chunk;) {
        Chunk* next = chunk->next;
        if (chunk->size != kStandardChunk || !cache.keep(chunk))
            ::operator delete(chunk);
        chunk = next;
    }
    delete this;
}

} // namespace sdf::detail
