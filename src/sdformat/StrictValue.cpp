#include "sdformat/StrictValue.h"

#include "sdformat/MessageText.h"
#include "sdformat/TypeManager.h"
#include "sdformat/ValueCodec.h"
#include "sdformat/ValueText.h"

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <locale>
#include <sstream>

namespace sdf {

namespace {

using detail::Orient;
using detail::Pos;
using detail::Pose;
using detail::Vec3;

std::string quoted(std::string_view text)
{
    return fmt::format("'{}'", detail::ForMessage(text));
}

bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        const std::size_t begin = i;
        while (i < text.size() && !isSpace(text[i]))
            ++i;
        if (i > begin)
            result.push_back(text.substr(begin, i - begin));
    }
    return result;
}

// Each reader takes the whole word or reports why not ("is not a number").
// A leading '+' is allowed, as people write it.
std::string_view withoutPlus(std::string_view word)
{
    if (word.size() > 1 && word[0] == '+' && word[1] != '-' && word[1] != '+')
        word.remove_prefix(1);
    return word;
}

std::string readNumber(std::string_view word, double& value)
{
    word = withoutPlus(word);
    const char* end = word.data() + word.size();
    const auto [at, ec] = std::from_chars(word.data(), end, value);
    if (ec == std::errc::result_out_of_range && at == end)
        return "is out of range";
    if (ec != std::errc() || at != end)
        return "is not a number";
    return {};
}

template <class T>
std::string readNumber(std::string_view word, T& value)
{
    word = withoutPlus(word);
    const char* end = word.data() + word.size();
    const auto [at, ec] = std::from_chars(word.data(), end, value);
    if (ec == std::errc::result_out_of_range && at == end)
        return fmt::format("is out of range ({} to {})", std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    if (std::is_unsigned_v<T> && word.starts_with('-')) {
        T magnitude{};
        if (std::from_chars(word.data() + 1, end, magnitude).ptr == end && word.size() > 1)
            return "is negative";
    }
    if (ec != std::errc() || at != end)
        return "is not a whole number";
    return {};
}

bool sameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

template <class T>
bool sameValue(const T& a, const T& b)
{
    return a == b;
}

template <>
bool sameValue<double>(const double& a, const double& b)
{
    return sameNumber(a, b);
}

template <class T>
bool sameComponents(const T& a, const T& b)
{
    const auto x = detail::Components(a);
    const auto y = detail::Components(b);
    for (std::size_t i = 0; i < x.size(); ++i)
        if (!sameNumber(*x[i], *y[i]))
            return false;
    return true;
}

template <> bool sameValue<Vec3>(const Vec3& a, const Vec3& b) { return sameComponents(a, b); }
template <> bool sameValue<Pos>(const Pos& a, const Pos& b) { return sameComponents(a, b); }
template <> bool sameValue<Orient>(const Orient& a, const Orient& b) { return sameComponents(a, b); }
template <> bool sameValue<Pose>(const Pose& a, const Pose& b) { return sameComponents(a, b); }

// How far off a unit quaternion may be before a person is told: the stored
// components carry six significant digits.
constexpr double kUnitTolerance = 1e-5;

void noteOrientation(const Orient& q, std::vector<std::string>& notes)
{
    const double norm = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    if (!(std::abs(norm - 1) <= kUnitTolerance))
        notes.push_back(fmt::format("the orientation is not a unit quaternion (its norm is {:g})", norm));
}

} // namespace

// Fills a StrictValue; one per call of Parse.
class StrictValueBuilder
{
public:
    StrictValueBuilder(std::string_view typeName, std::string_view text) : _typeName(typeName), _text(text) {}

    StrictValue build()
    {
        if (_typeName == "bool")
            readBool();
        else if (_typeName == "int")
            readScalar<int>();
        else if (_typeName == "unsigned int")
            readScalar<unsigned int>();
        else if (_typeName == "uint64_t")
            readScalar<std::uint64_t>();
        else if (_typeName == "double")
            readScalar<double>();
        else if (_typeName == "string")
            readString();
        else if (_typeName == "vector3")
            readComponents<Vec3>();
        else if (_typeName == "pos")
            readComponents<Pos>();
        else if (_typeName == "orient")
            readComponents<Orient>();
        else if (_typeName == "pose")
            readComponents<Pose>();
        else if (_typeName == "tooldata")
            readRecord<zrv::rob::ToolData>();
        else if (_typeName == "wobjdata")
            readRecord<zrv::rob::WObjData>();
        else if (_typeName == "speeddata")
            readRecord<zrv::rob::SpeedData>();
        else if (_typeName == "zonedata")
            readRecord<zrv::rob::ZoneData>();
        else if (_typeName == "robtarget")
            readRecord<zrv::rob::RobTarget>();
        else if (_typeName == "jointtarget")
            readRecord<zrv::rob::JointTarget>();
        else
            _result._error = fmt::format("unknown type '{}'", _typeName);
        return std::move(_result);
    }

private:
    void fail(std::string_view reason)
    {
        _result._error = fmt::format("'{}' cannot hold {}: {}", _typeName, quoted(_text), reason);
    }

    // Records the accepted value and what storing makes of it.
    template <class T>
    void accept(const T& value, int digits)
    {
        const TypeManager& types = *TypeManager::inst();
        _result._value = value;
        _result._storedText = types.toString(_result._value);
        const std::any back = types.fromString(_typeName, _result._storedText);
        if (const T* reread = std::any_cast<T>(&back); !reread || !sameValue(*reread, value)) {
            _result._changed = true;
            _result._notes.push_back(digits > 0 ? fmt::format("rounded to {} significant digits", digits)
                                                : fmt::format("stored as {}", quoted(_result._storedText)));
        }
    }

    void readBool()
    {
        const auto w = words(_text);
        if (w.size() != 1 || (w[0] != "true" && w[0] != "false" && w[0] != "1" && w[0] != "0"))
            return fail("it is not true, false, 1 or 0");
        accept(w[0] == "true" || w[0] == "1", 0);
    }

    template <class T>
    void readScalar()
    {
        const auto w = words(_text);
        if (w.size() != 1)
            return fail(w.empty() ? "there is no number" : fmt::format("it has {} words, not one number", w.size()));
        T value{};
        if (const std::string reason = readNumber(w[0], value); !reason.empty())
            return fail(fmt::format("it {}", reason));
        accept(value, std::is_floating_point_v<T> ? detail::kDoubleDigits : 0);
    }

    void readString()
    {
        // What the document writer could not write, a document cannot hold.
        if (const std::size_t at = FindUnwritable(_text); at != std::string_view::npos)
            return fail(fmt::format("it holds {}", DescribeUnwritable(_text, at)));
        accept(std::string(_text), 0);
    }

    template <class T>
    void readComponents()
    {
        T value{};
        auto components = detail::Components(value);
        const auto w = words(_text);
        if (w.size() != components.size())
            return fail(fmt::format("it has {} {}, not {}", w.size(), w.size() == 1 ? "number" : "numbers",
                                    components.size()));
        for (std::size_t i = 0; i < w.size(); ++i)
            if (const std::string reason = readNumber(w[i], *components[i]); !reason.empty())
                return fail(fmt::format("{} (number {}) {}", quoted(w[i]), i + 1, reason));
        accept(value, detail::kComponentDigits);
        if constexpr (std::is_same_v<T, Orient>)
            noteOrientation(value, _result._notes);
        if constexpr (std::is_same_v<T, Pose>)
            noteOrientation(value.orient, _result._notes);
    }

    // The records keep their own text forms; a stream in the classic locale
    // reads them as the document reader does, and shows what is left over.
    template <class T>
    void readRecord()
    {
        std::istringstream in{std::string(_text)};
        in.imbue(std::locale::classic());
        T value{};
        in >> value;
        if (in.fail())
            return fail(fmt::format("it is not a record of that type, which is written like {}",
                                    quoted(TypeManager::inst()->toString(T{}))));
        in >> std::ws;
        if (!in.eof()) {
            std::string rest;
            std::getline(in, rest, '\0');
            return fail(fmt::format("{} is left over after the record", quoted(rest)));
        }
        accept(value, 0);
    }

    std::string_view _typeName;
    std::string_view _text;
    StrictValue _result;
};

StrictValue StrictValue::Parse(std::string_view typeName, std::string_view text)
{
    return StrictValueBuilder(typeName, text).build();
}

} // namespace sdf
