#pragma once

// The one precondition check of the project. A broken precondition is a
// programming error of the caller, so Debug builds stop at once with the
// condition's text and the source it belongs to; Release builds compile the
// check away (unless ZRV_ENABLE_ASSERTS asks to keep it).
//
//   ZRV_ASSERT(index <= count, "index out of bound", "src/sdformat/Element");

#include <cstdio>
#include <cstdlib>

namespace zrv::detail {

[[noreturn]] inline void assertionFailed(const char* text, const char* source, int line) noexcept
{
    std::fprintf(stderr, "ASSERT failure: \"%s\" in %s (line %d)\n", text, source, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace zrv::detail

#if !defined(NDEBUG) || defined(ZRV_ENABLE_ASSERTS)
#define ZRV_ASSERTS_ACTIVE 1
#define ZRV_ASSERT(condition, text, source)                                 \
    do {                                                                     \
        if (!(condition))                                                    \
            ::zrv::detail::assertionFailed((text), (source), __LINE__);      \
    } while (false)
#else
#define ZRV_ASSERTS_ACTIVE 0
#define ZRV_ASSERT(condition, text, source) ((void)0)
#endif
