#pragma once

// Memory for the elements and attributes made while one document is read.
// Internal to the library.
//
// A large station is hundreds of thousands of small objects made in one go
// and, as a rule, dropped in one go. Taken one by one from the general heap
// they cost about as much as the whole parse, and freeing them leaves the
// heap to merge as many small blocks on its next large request. Here they
// are cut in order from a few large chunks; each object's block still goes
// back on its own (elements outlive documents, move between threads and can
// be dropped one at a time), but going back only counts down, and the
// chunks are freed together when the last block has gone.
//
// The price: memory of a read document is returned when all of its
// elements and attributes are gone (their control blocks, which weak
// pointers hold too), not piece by piece, and some of it is
// kept for the next read (see ChunkPool). Elements made later by
// editing come from the general heap as before.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>

namespace sdf::detail {

class ReadArena
{
public:
    // A new arena, claimed by its reader until finishReading(). With
    // onHeap its blocks come from the general heap one by one, for a reader
    // that lets what it read go while it reads (see DocumentCheck): freed
    // blocks are then taken again at once, where chunks would only grow.
    static ReadArena* Create(bool onHeap = false);

    ReadArena(const ReadArena&) = delete;
    ReadArena& operator=(const ReadArena&) = delete;

    // A block for one object; only the reading thread calls this, and only
    // before finishReading().
    void* allocate(std::size_t size, std::size_t alignment)
    {
        if (_onHeap) {
            void* block = ::operator new(size);
            ++_handedOut;
            return block;
        }
        auto at = (_next + (alignment - 1)) & ~static_cast<std::uintptr_t>(alignment - 1);
        if (at + size > _end)
            at = reinterpret_cast<std::uintptr_t>(allocateFromNewChunk(size, alignment));
        _next = at + size;
        ++_handedOut;
        return reinterpret_cast<void*>(at);
    }

    // One block is given back; from any thread, at any time. The last one
    // back after the reader has finished frees the arena.
    void release() noexcept
    {
        if (_live.fetch_sub(1, std::memory_order_acq_rel) == 1)
            destroy();
    }

    // Gives back a block that allocate() handed out.
    void giveBack(void* block) noexcept
    {
        if (_onHeap)
            ::operator delete(block);
        release();
    }

    // The reader is done: no more blocks are handed out, and the arena goes
    // as soon as every block it handed out is back (at once when none is
    // left, for instance after a failed read).
    void finishReading() noexcept;

private:
    struct Chunk
    {
        Chunk* next;
        std::size_t size;
    };

    // While reading, the count of live blocks carries this claim, so that
    // blocks given back during reading (a value replaced, a failed read
    // unwinding) cannot bring it to zero early. Blocks handed out are
    // counted without atomics and added when the reader finishes.
    static constexpr std::uint64_t kReaderClaim = std::uint64_t{1} << 62;

    ReadArena() = default;
    ~ReadArena() = default;

    void* allocateFromNewChunk(std::size_t size, std::size_t alignment);
    void destroy() noexcept;

    std::uintptr_t _next = 0;
    std::uintptr_t _end = 0;
    std::size_t _nextChunkSize;
    std::uint64_t _handedOut = 0;
    Chunk* _chunks = nullptr;
    bool _onHeap = false;
    std::atomic<std::uint64_t> _live{kReaderClaim};
};

// The standard allocator interface over an arena, for std::allocate_shared:
// the shared pointer's control block keeps it and gives its block back
// through it.
template <class T>
class ArenaAllocator
{
public:
    using value_type = T;

    explicit ArenaAllocator(ReadArena& arena) noexcept : _arena(&arena) {}
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>& other) noexcept : _arena(other.arena())
    {
    }

    T* allocate(std::size_t n) { return static_cast<T*>(_arena->allocate(n * sizeof(T), alignof(T))); }
    void deallocate(T* block, std::size_t) noexcept { _arena->giveBack(block); }

    ReadArena* arena() const noexcept { return _arena; }

    template <class U>
    bool operator==(const ArenaAllocator<U>& other) const noexcept
    {
        return _arena == other.arena();
    }

private:
    ReadArena* _arena;
};

// Holds a new arena for the duration of one read.
class ReadArenaClaim
{
public:
    explicit ReadArenaClaim(bool onHeap = false) : _arena(ReadArena::Create(onHeap)) {}
    ~ReadArenaClaim() { _arena->finishReading(); }
    ReadArenaClaim(const ReadArenaClaim&) = delete;
    ReadArenaClaim& operator=(const ReadArenaClaim&) = delete;

    ReadArena& arena() const { return *_arena; }

private:
    ReadArena* _arena;
};

} // namespace sdf::detail
