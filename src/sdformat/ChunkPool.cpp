#include <sdformat/ChunkPool.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include <sys/mman.h>

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

std::atomic<std::size_t> g_taken{0};

#ifndef ZRV_POOL_ASAN

constexpr std::size_t kBlockSize = 2 * 1024 * 1024;
// Cut at multiples of kChunkSize from a block aligned to its size.
static_assert(kBlockSize % ChunkPool::kChunkSize == 0 && ChunkPool::kChunkSize % ChunkPool::kChunkAlignment == 0);

// New chunks, cut in turn from the block mapped last.
class Blocks
{
public:
    void* cut()
    {
        const std::lock_guard lock(_mutex);
        if (_next == _end)
            map();
        void* chunk = reinterpret_cast<void*>(_next);
        _next += ChunkPool::kChunkSize;
        return chunk;
    }

private:
    // A block aligned to its size, so that the system can back it with
    // huge pages; without them it still works, with small ones.
    void map()
    {
        void* region = ::mmap(nullptr, 2 * kBlockSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (region == MAP_FAILED)
            throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(region);
        const std::uintptr_t block = (start + kBlockSize - 1) & ~(kBlockSize - 1);
        if (block > start)
            ::munmap(region, block - start);
        if (const std::uintptr_t after = start + 2 * kBlockSize - (block + kBlockSize))
            ::munmap(reinterpret_cast<void*>(block + kBlockSize), after);
        ::madvise(reinterpret_cast<void*>(block), kBlockSize, MADV_HUGEPAGE);
        _next = block;
        _end = block + kBlockSize;
    }

    std::mutex _mutex;
    std::uintptr_t _next = 0;
    std::uintptr_t _end = 0;
};

Blocks& TheBlocks()
{
    static Blocks* const blocks = new Blocks;
    return *blocks;
}

void* NewChunk()
{
    return TheBlocks().cut();
}

// The chunk goes back to the system; a huge page under it is split.
void FreeChunk(void* chunk) noexcept
{
    ::munmap(chunk, ChunkPool::kChunkSize);
}

#else

void* NewChunk()
{
    return ::operator new(ChunkPool::kChunkSize, std::align_val_t{ChunkPool::kChunkAlignment});
}

void FreeChunk(void* chunk) noexcept
{
    ::operator delete(chunk, std::align_val_t{ChunkPool::kChunkAlignment});
}

#endif

} // namespace

void* ChunkPool::Take()
{
    void* chunk = TheKept().take();
    if (!chunk)
        chunk = NewChunk();
    g_taken.fetch_add(kChunkSize, std::memory_order_relaxed);
    return chunk;
}

void ChunkPool::Give(void* chunk) noexcept
{
    if (!chunk)
        return;
    g_taken.fetch_sub(kChunkSize, std::memory_order_relaxed);
    if (!TheKept().keep(chunk))
        FreeChunk(chunk);
}

std::size_t ChunkPool::KeptBytes()
{
    return TheKept().bytes();
}

std::size_t ChunkPool::TakenBytes()
{
    return g_taken.load(std::memory_order_relaxed);
}

} // namespace sdf::detail
