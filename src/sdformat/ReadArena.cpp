#include <sdformat/ReadArena.h>

#include <sdformat/ChunkPool.h>

#include <algorithm>

namespace sdf::detail {

namespace {

// Chunks start small, so that reading a short document takes little, and
// grow to the pool's standard size.
constexpr std::size_t kFirstChunk = ReadArena::kPageSize;
static_assert(ChunkPool::kChunkSize % ReadArena::kPageSize == 0 && ChunkPool::kChunkAlignment >= ReadArena::kPageSize,
              "the pool's chunks must be whole pages, aligned to a page");

constexpr std::uintptr_t AlignUp(std::uintptr_t at, std::size_t alignment)
{
    return (at + (alignment - 1)) & ~static_cast<std::uintptr_t>(alignment - 1);
}

} // namespace

ReadArena* ReadArena::Create()
{
    auto* arena = new ReadArena();
    arena->_nextChunkSize = kFirstChunk;
    return arena;
}

std::uintptr_t ReadArena::newChunk(std::size_t size)
{
    const std::size_t chunkSize = std::max(_nextChunkSize, AlignUp(size, kPageSize));
    void* memory = chunkSize == ChunkPool::kChunkSize ? ChunkPool::Take()
                                                      : ::operator new(chunkSize, std::align_val_t{kPageSize});
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    reinterpret_cast<PageHeader*>(begin)->owner = this;
    auto* chunk = reinterpret_cast<Chunk*>(begin + sizeof(PageHeader));
    chunk->next = _chunks;
    chunk->size = chunkSize;
    _chunks = chunk;
    _nextChunkSize = std::min(_nextChunkSize * 2, ChunkPool::kChunkSize);
    return begin;
}

void* ReadArena::allocateElsewhere(std::size_t size, std::size_t alignment)
{
    constexpr std::size_t kFirstPageTaken = sizeof(PageHeader) + sizeof(Chunk);
    if (kFirstPageTaken + alignment + size > kPageSize) {
        // Alone: the block starts on the chunk's first page, whose header
        // names the arena, and the pages it covers hold nothing else.
        const std::uintptr_t chunk = newChunk(kFirstPageTaken + alignment + size);
        return reinterpret_cast<void*>(AlignUp(chunk + kFirstPageTaken, alignment));
    }
    std::uintptr_t begin;
    if (_pageEnd != 0 && _pageEnd < _end) {
        begin = _pageEnd;
        reinterpret_cast<PageHeader*>(begin)->owner = this;
        _pageEnd = begin + kPageSize;
        begin += sizeof(PageHeader);
    } else {
        const std::uintptr_t chunk = newChunk(kPageSize);
        _end = chunk + reinterpret_cast<Chunk*>(chunk + sizeof(PageHeader))->size;
        _pageEnd = chunk + kPageSize;
        begin = chunk + kFirstPageTaken;
    }
    const std::uintptr_t at = AlignUp(begin, alignment);
    _next = at + size;
    return reinterpret_cast<void*>(at);
}

void ReadArena::finishReading() noexcept
{
    // Trade the reader's claim for the blocks it took; what is still out
    // keeps the arena.
    _next = _pageEnd = _end = 0;
    const std::uint64_t change = _handedOut - kReaderClaim;
    if (_live.fetch_add(change, std::memory_order_acq_rel) + change == 0)
        destroy();
}

void ReadArena::destroy() noexcept
{
    for (Chunk* chunk = _chunks; chunk;) {
        Chunk* next = chunk->next;
        void* memory = reinterpret_cast<char*>(chunk) - sizeof(PageHeader);
        if (chunk->size == ChunkPool::kChunkSize)
            ChunkPool::Give(memory);
        else
            ::operator delete(memory, std::align_val_t{kPageSize});
        chunk = next;
    }
    delete this;
}

} // namespace sdf::detail
