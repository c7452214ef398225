#pragma once

// Words of a record's text taken straight from memory, cut exactly as
// stream extraction in the classic locale cuts them, without the cost of a
// stream (sentries, locale look-ups, a copy per word). Internal to zrvrob.

#include <string>
#include <string_view>

namespace zrv::rob::detail {

class TextFields
{
public:
    explicit TextFields(std::string_view text) : _at(text.data()), _end(text.data() + text.size()) {}

    // The next run of non-space characters, as `stream >> std::string`.
    bool word(std::string_view& token)
    {
        skipSpace();
        const char* begin = _at;
        while (_at != _end && !IsSpace(*_at))
            ++_at;
        token = std::string_view(begin, static_cast<std::size_t>(_at - begin));
        return _at != begin;
    }

    // As `stream >> std::quoted(text)`.
    bool quoted(std::string& text);

    // The words are taken from memory; nobody else needs telling.
    void fail() {}

private:
    // What the classic locale counts as space: ' ', \t, \n, \v, \f, \r.
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    void skipSpace()
    {
        while (_at != _end && IsSpace(*_at))
            ++_at;
    }

    const char* _at;
    const char* _end;
};

} // namespace zrv::rob::detail
