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

#include <common/ZrvAssert.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

namespace sdf::detail {

class ReadArena
{
public:
    // Blocks are cut from pages of this size, each led by a header that
    // names its arena, so that a block finds its arena from its own address
    // (see Owner) and the shared pointers' control blocks need not keep it:
    // that saves eight bytes in every element and attribute read.
    static constexpr std::size_t kPageSize = 16 * 1024;

    // A new arena, claimed by its reader until finishReading().
    static ReadArena* Create();

    ReadArena(const ReadArena&) = delete;
    ReadArena& operator=(const ReadArena&) = delete;

    // A block for one object; only the reading thread calls this, and only
    // before finishReading(). Blocks never cross a page boundary, except
    // one too large for a page, which gets a chunk of its own.
    void* allocate(std::size_t size, std::size_t alignment)
    {
        auto at = (_next + (alignment - 1)) & ~static_cast<std::uintptr_t>(alignment - 1);
        if (at + size > _pageEnd)
            at = reinterpret_cast<std::uintptr_t>(allocateElsewhere(size, alignment));
        else
            _next = at + size;
        ++_handedOut;
        return reinterpret_cast<void*>(at);
    }

    // The arena that handed out block.
    static ReadArena& Owner(const void* block) noexcept
    {
        const auto page = reinterpret_cast<std::uintptr_t>(block) & ~static_cast<std::uintptr_t>(kPageSize - 1);
        return *reinterpret_cast<const PageHeader*>(page)->owner;
    }

    // One block is given back; from any thread, at any time. The last one
    // back after the reader has finished frees the arena.
    void release() noexcept
    {
        if (_live.fetch_sub(1, std::memory_order_acq_rel) == 1)
            destroy();
    }

    // The reader is done: no more blocks are handed out, and the arena goes
    // as soon as every block it handed out is back (at once when none is
    // left, for instance after a failed read).
    void finishReading() noexcept;

    // The arena this thread reads into (see ReadArenaClaim), or nullptr.
    static ReadArena* Current() noexcept { return t_current; }

private:
    friend class ReadArenaClaim;

    struct alignas(16) PageHeader
    {
        ReadArena* owner;
    };
    struct alignas(16) Chunk
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

    // The block when it does not fit the current page: on the next page, in
    // a new chunk, or alone in a chunk of its own.
    void* allocateElsewhere(std::size_t size, std::size_t alignment);
    // A chunk of at least size bytes, a whole number of pages aligned to a
    // page, listed for destroy() and with its first page's header written.
    std::uintptr_t newChunk(std::size_t size);
    void destroy() noexcept;
    static void SetCurrent(ReadArena* arena) noexcept { t_current = arena; }

    static inline thread_local ReadArena* t_current = nullptr;

    std::uintptr_t _next = 0;
    std::uintptr_t _pageEnd = 0;
    std::uintptr_t _end = 0;
    std::size_t _nextChunkSize = 0;
    std::uint64_t _handedOut = 0;
    Chunk* _chunks = nullptr;
    std::atomic<std::uint64_t> _live{kReaderClaim};
};

// The standard allocator interface over the arena of the thread that
// reads, for std::allocate_shared. It holds nothing, so the shared
// pointer's control block keeps nothing for it either; a block goes back
// to the arena it came from (see ReadArena::Owner).
template <class T>
class ArenaAllocator
{
public:
    using value_type = T;
    using is_always_equal = std::true_type;

    ArenaAllocator() noexcept = default;
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>&) noexcept
    {
    }

    // Only while the thread holds a ReadArenaClaim.
    T* allocate(std::size_t n)
    {
        ReadArena* arena = ReadArena::Current();
        ZRV_ASSERT(arena, "arena", "src/sdformat/ReadArena");
        return static_cast<T*>(arena->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T* block, std::size_t) noexcept { ReadArena::Owner(block).release(); }

    template <class U>
    bool operator==(const ArenaAllocator<U>&) const noexcept
    {
        return true;
    }
};

// Holds a new arena for the duration of one read and makes it the current
// thread's (see ArenaAllocator); the one it replaces comes back after.
class ReadArenaClaim
{
public:
    ReadArenaClaim() : _arena(ReadArena::Create()), _replaced(ReadArena::Current()) { ReadArena::SetCurrent(_arena); }
    ~ReadArenaClaim()
    {
        ReadArena::SetCurrent(_replaced);
        _arena->finishReading();
    }
    ReadArenaClaim(const ReadArenaClaim&) = delete;
    ReadArenaClaim& operator=(const ReadArenaClaim&) = delete;

    ReadArena& arena() const { return *_arena; }

private:
    ReadArena* _arena;
    ReadArena* _replaced;
};

} // namespace sdf::detail
