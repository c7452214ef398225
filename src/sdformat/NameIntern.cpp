#include <sdformat/NameIntern.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <unordered_set>

namespace sdf::detail {

namespace {

// Every name is interned here once; the set's nodes never move, so the
// pointers handed out stay valid. Never destroyed: attributes held by
// static objects may outlive any static set.
struct Names
{
    std::mutex mutex;
    std::unordered_set<std::string> set;
};

Names& TheNames()
{
    static Names* const names = new Names;
    return *names;
}

const std::string* InternLocked(std::string_view text)
{
    Names& names = TheNames();
    const std::lock_guard lock(names.mutex);
    return &*names.set.emplace(text).first;
}

// Most names come from the templates, whose strings stay at one address,
// so each thread remembers the interned copy by the address of the text
// it was given. The remembered copy is used only when the text there
// still reads the same, so an address reused for another text is harmless.
struct CacheEntry
{
    const char* data = nullptr;
    const std::string* interned = nullptr;
};

constexpr std::size_t kCacheSize = 256;

} // namespace

const std::string* InternName(std::string_view text)
{
    thread_local std::array<CacheEntry, kCacheSize> cache{};
    const auto key = reinterpret_cast<std::uintptr_t>(text.data());
    CacheEntry& entry = cache[(key ^ (key >> 9) ^ text.size()) % kCacheSize];
    if (entry.interned && entry.data == text.data() && entry.interned->size() == text.size() &&
        (text.empty() || std::memcmp(entry.interned->data(), text.data(), text.size()) == 0))
        return entry.interned;
    const std::string* interned = InternLocked(text);
    entry = {text.data(), interned};
    return interned;
}

} // namespace sdf::detail
