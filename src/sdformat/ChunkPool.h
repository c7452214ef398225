#pragma once

// Large blocks of one standard size for the document reader's arena and the
// document writer's text, kept between uses. Internal to the library.
//
// Reading or writing a large station goes through tens of megabytes in
// one go. Given back to the heap after each use, that memory is returned
// to the system as often as not, and taken again page by page on the next
// use, with a page fault per page that can cost more than the work itself.
// Kept here, it is ready for the next document, up to a cap.
//
// New chunks are cut from 2 MB blocks that the system is asked to back
// with huge pages: a large station's elements are walked all over while
// it is read and written, and with small pages the processor spends as
// much time looking up pages as working (sdftool validate of an 80 MB
// station took half the time with huge pages). Under the address
// sanitizer chunks come from the heap as any other block, so that the leak
// checker still sees what the elements in them point to.

#include <cstddef>

namespace sdf::detail {

class ChunkPool
{
public:
    static constexpr std::size_t kChunkSize = 256 * 1024;
    // Every chunk starts at a multiple of this (the reader's arena finds a
    // block's page by its address).
    static constexpr std::size_t kChunkAlignment = 16 * 1024;
    // What is kept at most (about what reading a 15 MB station takes);
    // chunks given back beyond it go back to the heap.
    static constexpr std::size_t kKeptBytes = 64 * 1024 * 1024;

    // A chunk of kChunkSize bytes, kept or new; std::bad_alloc when there
    // is no memory.
    static void* Take();
    // Gives back a chunk that Take() handed out. Never fails.
    static void Give(void* chunk) noexcept;
    // Bytes of the chunks kept now.
    static std::size_t KeptBytes();
    // Bytes of the chunks handed out by Take() and not given back.
    static std::size_t TakenBytes();
};

} // namespace sdf::detail
