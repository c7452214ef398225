#include <zrvrob/FieldRules.h>
#include <zrvrob/FieldWriter.h>
#include <zrvrob/StreamFields.h>
#include <zrvrob/TextFields.h>

#include <charconv>
#include <iomanip>
#include <string>
#include <system_error>
#include <utility>

namespace zrv::rob::detail {
namespace {

// from_chars takes no leading plus sign; a text written by hand may have one.
std::string_view withoutPlus(std::string_view token)
{
    if (token.size() > 1 && token.front() == '+' && token[1] != '-' && token[1] != '+')
        token.remove_prefix(1);
    return token;
}

template <class T>
bool parseWhole(std::string_view token, T& value)
{
    token = withoutPlus(token);
    T parsed{};
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), parsed);
    if (error != std::errc{} || end != token.data() + token.size())
        return false;
    value = parsed;
    return true;
}

} // namespace

bool ParseField(std::string_view token, double& value)
{
    return parseWhole(token, value);
}

bool ParseField(std::string_view token, int& value)
{
    return parseWhole(token, value);
}

bool ParseField(std::string_view token, bool& value)
{
    if (token == "true" || token == "1")
        value = true;
    else if (token == "false" || token == "0")
        value = false;
    else
        return false;
    return true;
}

bool StreamFields::word(std::string_view& token)
{
    if (!(_in >> _token))
        return false;
    token = _token;
    return true;
}

bool StreamFields::quoted(std::string& text)
{
    std::string read;
    if (!(_in >> std::quoted(read)))
        return false;
    text = std::move(read);
    return true;
}

bool TextFields::quoted(std::string& text)
{
    skipSpace();
    if (_at == _end)
        return false;
    if (*_at != '"') {
        // An unquoted word is taken as it stands, backslashes included.
        std::string_view token;
        word(token);
        text.assign(token);
        return true;
    }
    // Up to the closing quote; a backslash takes the next character as it
    // is. Without a closing quote there is no text.
    std::string read;
    for (++_at;;) {
        if (_at == _end)
            return false;
        char c = *_at++;
        if (c == '\\') {
            if (_at == _end)
                return false;
            c = *_at++;
        } else if (c == '"') {
            break;
        }
        read += c;
    }
    text = std::move(read);
    return true;
}

void FieldWriter::separate()
{
    if (!_text.empty())
        _text += ' ';
}

FieldWriter& FieldWriter::number(double value)
{
    separate();
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    _text.append(buffer, result.ptr);
    return *this;
}

FieldWriter& FieldWriter::number(int value)
{
    separate();
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    _text.append(buffer, result.ptr);
    return *this;
}

FieldWriter& FieldWriter::truth(bool value)
{
    separate();
    _text += value ? "true" : "false";
    return *this;
}

FieldWriter& FieldWriter::text(std::string_view value)
{
    // The escaping that std::quoted undoes on reading.
    separate();
    _text += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\')
            _text += '\\';
        _text += c;
    }
    _text += '"';
    return *this;
}

FieldWriter& FieldWriter::position(const Position& value)
{
    return number(value.x).number(value.y).number(value.z);
}

FieldWriter& FieldWriter::quaternion(const Quaternion& value)
{
    return number(value.w).number(value.x).number(value.y).number(value.z);
}

FieldWriter& FieldWriter::frame(const Frame& value)
{
    return position(value.trans).quaternion(value.rot);
}

FieldWriter& FieldWriter::conf(const ConfData& value)
{
    return number(value.cf1).number(value.cf4).number(value.cf6).number(value.cfx);
}

FieldWriter& FieldWriter::axes(const ExtJoint& value)
{
    for (const double axis : value)
        number(axis);
    return *this;
}

std::ostream& FieldWriter::writeTo(std::ostream& out) const
{
    return out.write(_text.data(), static_cast<std::streamsize>(_text.size()));
}

} // namespace zrv::rob::detail
