#include "sdformat/TypeManager.h"

#include "sdformat/NumberText.h"
#include "sdformat/OrientTemplate.h"
#include "sdformat/PoseTemplate.h"
#include "sdformat/PosTemplate.h"
#include "sdformat/Vec3Template.h"

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace sdf {
namespace {

using Vec3 = zrv::rob::Vec3Template<double>;
using Pos = zrv::rob::PosTemplate<double>;
using Orient = zrv::rob::OrientTemplate<double>;
using Pose = zrv::rob::PoseTemplate<double>;

// Components of the geometric values, in text order.
std::array<double*, 3> Components(Vec3& v) { return {&v.x, &v.y, &v.z}; }
std::array<double*, 3> Components(Pos& p) { return {&p.x, &p.y, &p.z}; }
std::array<double*, 4> Components(Orient& q) { return {&q.w, &q.x, &q.y, &q.z}; }
std::array<double*, 7> Components(Pose& p)
{
    return {&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
}
std::array<const double*, 3> Components(const Vec3& v) { return {&v.x, &v.y, &v.z}; }
std::array<const double*, 3> Components(const Pos& p) { return {&p.x, &p.y, &p.z}; }
std::array<const double*, 4> Components(const Orient& q) { return {&q.w, &q.x, &q.y, &q.z}; }
std::array<const double*, 7> Components(const Pose& p)
{
    return {&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
}

// Digits of a lone "double" value, and of each component of a geometric
// value (the stream default).
constexpr int kDoubleDigits = 16;
constexpr int kComponentDigits = 6;

// How each stored type is read from and written to text. Readers start
// from the type's default and never fail; writers are locale-independent,
// so a document reads back on any machine.
template <class T>
struct Codec;

template <>
struct Codec<bool>
{
    // Only the exact words of false are false; no trimming, no case folding.
    static bool read(std::string_view text) { return !(text.empty() || text == "0" || text == "false"); }
    static std::string write(bool value) { return value ? "true" : "false"; }
};

template <class T>
struct IntegerCodec
{
    static T read(std::string_view text)
    {
        T value{};
        detail::ExtractNumber(text, value);
        return value;
    }
    static std::string write(T value) { return fmt::format_int(value).str(); }
};

template <> struct Codec<int> : IntegerCodec<int> {};
template <> struct Codec<unsigned int> : IntegerCodec<unsigned int> {};
template <> struct Codec<std::uint64_t> : IntegerCodec<std::uint64_t> {};

template <>
struct Codec<double>
{
    static double read(std::string_view text)
    {
        double value = 0;
        detail::ExtractNumber(text, value);
        return value;
    }
    static std::string write(double value)
    {
        std::string text;
        detail::AppendGeneral(text, value, kDoubleDigits);
        return text;
    }
};

template <>
struct Codec<std::string>
{
    static std::string read(std::string_view text) { return std::string(text); }
    static std::string write(const std::string& value) { return value; }
};

template <class T>
struct ComponentCodec
{
    static T read(std::string_view text)
    {
        T value{};
        auto components = Components(value);
        detail::ExtractComponents(text, components.data(), static_cast<int>(components.size()));
        return value;
    }
    static std::string write(const T& value)
    {
        std::string text;
        text.reserve(64);
        bool first = true;
        for (const double* component : Components(value)) {
            if (!first)
                text += ' ';
            first = false;
            detail::AppendGeneral(text, *component, kComponentDigits);
        }
        return text;
    }
};

template <> struct Codec<Vec3> : ComponentCodec<Vec3> {};
template <> struct Codec<Pos> : ComponentCodec<Pos> {};
template <> struct Codec<Orient> : ComponentCodec<Orient> {};
template <> struct Codec<Pose> : ComponentCodec<Pose> {};

// Back to the state of a new stream in the classic locale, whatever the
// last record's writer left behind.
void Reset(std::ios& stream)
{
    stream.exceptions(std::ios_base::goodbit);
    stream.clear();
    stream.flags(std::ios_base::skipws | std::ios_base::dec);
    stream.width(0);
    stream.precision(6);
    stream.fill(' ');
    if (stream.getloc() != std::locale::classic())
        stream.imbue(std::locale::classic());
}

// The robot records bring their own text forms. They are read straight from
// the text: a stream per value costs more than the numbers in it. They are
// written through a stream: each thread keeps one output stream in the
// classic locale, whatever the process locale is, and resets it to default
// settings before each use, since building and imbuing a stream costs more
// than the conversion itself.
class RecordOutput
{
public:
    RecordOutput() { _out.imbue(std::locale::classic()); }

    std::ostream& fresh()
    {
        _out.str(std::string());
        Reset(_out);
        return _out;
    }

    std::string text() { return std::move(_out).str(); }

private:
    std::ostringstream _out;
};

template <class T>
struct RecordCodec
{
    static T read(std::string_view text)
    {
        T value{};
        try {
            // Empty or blank text reads no field and leaves the default.
            zrv::rob::ReadFromText(text, value);
        } catch (...) {
            // Reading never fails: keep what was read so far.
        }
        return value;
    }
    static std::string write(const T& value)
    {
        thread_local RecordOutput output;
        output.fresh() << value;
        return output.text();
    }
};

template <> struct Codec<zrv::rob::ToolData> : RecordCodec<zrv::rob::ToolData> {};
template <> struct Codec<zrv::rob::WObjData> : RecordCodec<zrv::rob::WObjData> {};
template <> struct Codec<zrv::rob::SpeedData> : RecordCodec<zrv::rob::SpeedData> {};
template <> struct Codec<zrv::rob::ZoneData> : RecordCodec<zrv::rob::ZoneData> {};
template <> struct Codec<zrv::rob::RobTarget> : RecordCodec<zrv::rob::RobTarget> {};
template <> struct Codec<zrv::rob::JointTarget> : RecordCodec<zrv::rob::JointTarget> {};

[[noreturn]] void ThrowUnknownName(std::string_view typeName)
{
    throw std::out_of_range(fmt::format("sdf type '{}' is not registered", typeName));
}

} // namespace

TypeManager* TypeManager::inst()
{
    // Initialised once, thread-safely; a throwing constructor leaves it
    // to be tried again by the next call.
    static TypeManager instance;
    return &instance;
}

TypeManager::TypeManager()
{
    add<bool>("bool");
    add<int>("int");
    add<unsigned int>("unsigned int");
    add<std::uint64_t>("uint64_t");
    add<double>("double");
    add<std::string>("string");
    add<Vec3>("vector3");
    add<Pos>("pos");
    add<Orient>("orient");
    add<Pose>("pose");
    add<zrv::rob::ToolData>("tooldata");
    add<zrv::rob::WObjData>("wobjdata");
    add<zrv::rob::SpeedData>("speeddata");
    add<zrv::rob::ZoneData>("zonedata");
    add<zrv::rob::RobTarget>("robtarget");
    add<zrv::rob::JointTarget>("jointtarget");
}

template <class T>
void TypeManager::add(std::string_view name)
{
    insert(
        name, typeid(T), [](std::string_view text) -> std::any { return Codec<T>::read(text); },
        [](const std::any& value) -> std::string { return Codec<T>::write(*std::any_cast<T>(&value)); });
}

void TypeManager::insert(std::string_view name, const std::type_info& type, Reader reader, Writer writer)
{
    const std::type_index index(type);
    if (_typesByName.find(name) != _typesByName.end() || _namesByType.find(index) != _namesByType.end())
        throw std::logic_error(fmt::format("sdf type '{}' has been registered", name));
    _namesByType.emplace(index, std::string(name));
    _typesByName.emplace(std::string(name), index);
    _readers.emplace(index, std::move(reader));
    _writers.emplace(index, std::move(writer));
}

bool TypeManager::contains(const std::type_info& type) const
{
    return _namesByType.find(std::type_index(type)) != _namesByType.end();
}

bool TypeManager::contains(std::string_view typeName) const
{
    return _typesByName.find(typeName) != _typesByName.end();
}

std::any TypeManager::fromString(std::string_view typeName, std::string_view text) const
{
    const auto type = _typesByName.find(typeName);
    if (type == _typesByName.end())
        ThrowUnknownName(typeName);
    return _readers.at(type->second)(text);
}

std::string TypeManager::toString(std::any value) const
{
    const auto writer = _writers.find(std::type_index(value.type()));
    if (writer == _writers.end())
        throw std::out_of_range(fmt::format("no sdf type is registered for stored type '{}'", value.type().name()));
    return writer->second(value);
}

const std::string& TypeManager::name(const std::type_info& type) const
{
    const auto found = _namesByType.find(std::type_index(type));
    if (found == _namesByType.end())
        throw std::out_of_range(fmt::format("no sdf type is registered for stored type '{}'", type.name()));
    return found->second;
}

} // namespace sdf
