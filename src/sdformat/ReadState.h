#pragma once

// What one thread carries while it reads a document: the element children
// of the nodes being read (collected in one pass over each child list),
// and the interned names of the attributes made. Its elements and
// attributes come from the thread's arena (see ReadArenaClaim). Internal
// to the library.

#include <sdformat/AttrTemplate.h>
#include <sdformat/NameIntern.h>
#include <sdformat/SDF.h>

#include <pugixml.hpp>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

// The interned names of the attributes made during one read. Templates do
// not change while a document is read, so a template's names are found by
// its address; the type names of annotated values are few and compared as
// text, and the names of an annotated value are found by the addresses of
// its label and its interned type name.
class SDF::ReadNames
{
public:
    const detail::InternedNames* of(const AttrTemplate& templ)
    {
        const auto key = reinterpret_cast<std::uintptr_t>(&templ);
        Entry& entry = _byTemplate[(key >> 4 ^ key >> 12) % kEntries];
        if (entry.templ != &templ)
            entry = {&templ, detail::InternNames(detail::InternName(templ._label), detail::InternName(templ._type))};
        return entry.names;
    }

    // The names of an annotated value: the label of its element's
    // template and an interned type name (see type()).
    const detail::InternedNames* annotated(const std::string& label, const std::string* type)
    {
        const auto key = reinterpret_cast<std::uintptr_t>(&label) ^ (reinterpret_cast<std::uintptr_t>(type) >> 4);
        AnnotatedEntry& entry = _annotated[(key >> 4 ^ key >> 12) % kAnnotatedEntries];
        if (entry.label != &label || entry.type != type)
            entry = {&label, type, detail::InternNames(detail::InternName(label), type)};
        return entry.names;
    }

    const std::string* type(std::string_view text)
    {
        for (const std::string* known : _types)
            if (*known == text)
                return known;
        _types.push_back(detail::InternName(text));
        return _types.back();
    }

private:
    struct Entry
    {
        const AttrTemplate* templ = nullptr;
        const detail::InternedNames* names = nullptr;
    };
    struct AnnotatedEntry
    {
        const std::string* label = nullptr;
        const std::string* type = nullptr;
        const detail::InternedNames* names = nullptr;
    };
    static constexpr std::size_t kEntries = 512;
    // Few templates hold annotated values, of few types.
    static constexpr std::size_t kAnnotatedEntries = 64;
    std::array<Entry, kEntries> _byTemplate{};
    std::array<AnnotatedEntry, kAnnotatedEntries> _annotated{};
    std::vector<const std::string*> _types;
};

struct SDF::ReadState
{
    std::vector<pugi::xml_node> pending;
    SDF::ReadNames names;
    // Reading to check (see DocumentCheck): whom to show each element, and
    // the depth of the element being filled.
    const SDF::Visitor* visit = nullptr;
    std::size_t depth = 0;
};

} // namespace sdf
