#pragma once

// Internal to the library: the walk up a chain of parents (object parents or
// visual parents) shared by the ancestor queries.

#include <sdformat/SdfManager.h>

#include <cstddef>

namespace sdf {

// Calls test on next(from), next(next(from)) and so on until it holds (true)
// or next yields null (false). Parent ids come from documents, so a chain may
// loop; no real chain is longer than the registry has entries, so a walk
// that goes further is going round a loop and ends with false.
template <class Object, class Next, class Test>
bool AnyUpTheChain(const Object* from, Next next, Test test)
{
    // Most chains are short: count the registry only for long ones.
    constexpr std::size_t CheapSteps = 64;
    std::size_t steps = 0;
    std::size_t limit = 0;
    for (const Object* at = next(from); at; at = next(at)) {
        if (test(at))
            return true;
        if (++steps >= CheapSteps) {
            if (limit == 0)
                limit = SdfManager::Size();
            if (steps > limit)
                return false;
        }
    }
    return false;
}

} // namespace sdf
