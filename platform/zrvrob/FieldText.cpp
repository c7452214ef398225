#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

#include <charconv>
#include <iomanip>
#include <system_error>

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

void FieldReader::fail()
{
    _ok = false;
    _in.setstate(std::ios_base::failbit);
}

bool FieldReader::nextToken()
{
    if (!_ok)
        return false;
    if (!(_in >> _token)) {
        fail();
        return false;
    }
    return true;
}

FieldReader& FieldReader::number(double& value)
{
    if (nextToken() && !parseWhole(_token, value))
        fail();
    return *this;
}

FieldReader& FieldReader::number(int& value)
{
    if (nextToken() && !parseWhole(_token, value))
        fail();
    return *this;
}

FieldReader& FieldReader::truth(bool& value)
{
    if (!nextToken())
        return *this;
    if (_token == "true" || _token == "1")
        value = true;
    else if (_token == "false" || _token == "0")
        value = false;
    else
        fail();
    return *this;
}

FieldReader& FieldReader::text(std::string& value)
{
    if (!_ok)
        return *this;
    std::string read;
    if (_in >> std::quoted(read))
        value = std::move(read);
    else
        fail();
    return *this;
}

FieldReader& FieldReader::position(Position& value)
{
    return number(value.x).number(value.y).number(value.z);
}

FieldReader& FieldReader::quaternion(Quaternion& value)
{
    return number(value.w).number(value.x).number(value.y).number(value.z);
}

FieldReader& FieldReader::frame(Frame& value)
{
    return position(value.trans).quaternion(value.rot);
}

FieldReader& FieldReader::conf(ConfData& value)
{
    return number(value.cf1).number(value.cf4).number(value.cf6).number(value.cfx);
}

FieldReader& FieldReader::axes(ExtJoint& value)
{
    for (double& axis : value)
        number(axis);
    return *this;
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
