#include <sdformat/ReadArena.h>

#include <sdformat/ChunkPool.h>

#include <algorithm>

namespace sdf::detail {

namespace {

// Chunks start small, so that reading a short document takes little, and
// grow to the pool's standard size.
constexpr std::size_t kFirstChunk = 16 * 1024;

} // namespace

ReadArena* ReadArena::Create(bool onHeap)
{
    auto* arena = new ReadArena();
    arena->_nextChunkSize = kFirstChunk;
    arena->_onHeap = onHeap;
    return arena;
}

void* ReadArena::allocateFromNewChunk(std::size_t size, std::size_t alignment)
{
    const std::size_t header = (sizeof(Chunk) + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    const std::size_t need = header + size + alignment;
    const std::size_t chunkSize = std::max(_nextChunkSize, need);
    void* memory = chunkSize == ChunkPool::kChunkSize ? ChunkPool::Take() : ::operator new(chunkSize);
    auto* chunk = static_cast<Chunk*>(memory);
    chunk->next = _chunks;
    chunk->size = chunkSize;
    _chunks = chunk;
    _nextChunkSize = std::min(_nextChunkSize * 2, ChunkPool::kChunkSize);

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
    for (Chunk* chunk = _chunks; chunk;) {
        Chunk* next = chunk->next;
        if (chunk->size == ChunkPool::kChunkSize)
            ChunkPool::Give(chunk);
        else
            ::operator delete(chunk);
        chunk = next;
    }
    delete this;
}

} // namespace sdf::detail
