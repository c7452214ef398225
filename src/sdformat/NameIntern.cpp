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
struct PairHash
{
    std::size_t operator()(const InternedNames& names) const noexcept
    {
        const auto label = reinterpret_cast<std::uintptr_t>(names.label);
        const auto type = reinterpret_cast<std::uintptr_t>(names.type);
        return std::hash<std::uintptr_t>{}(label * 31 + type);
    }
};

struct PairEqual
{
    bool operator()(const InternedNames& a, const InternedNames& b) const noexcept
    {
        return a.label == b.label && a.type == b.type;
    }
};

struct Names
{
    std::mutex mutex;
    std::unordered_set<std::string> set;
    std::unordered_set<InternedNames, PairHash, PairEqual> pairs;
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

const InternedNames* InternNames(const std::string* label, const std::string* type)
{
    // The same per-thread memory as for names: the callers ask for a few
    // pairs over and over.
    thread_local std::array<const InternedNames*, kCacheSize> cache{};
    const auto key = reinterpret_cast<std::uintptr_t>(label) ^ (reinterpret_cast<std::uintptr_t>(type) >> 3);
    const InternedNames*& entry = cache[(key ^ (key >> 9)) % kCacheSize];
    if (entry && entry->label == label && entry->type == type)
        return entry;
    Names& names = TheNames();
    const std::lock_guard lock(names.mutex);
    entry = &*names.pairs.insert(InternedNames{label, type}).first;
    return entry;
}

} // namespace sdf::detail
