#include "sdformat/TypeManager.h"

#include "sdformat/MessageText.h"
#include "sdformat/ValueCodec.h"

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>

#include <cstdint>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace sdf {
namespace {

using detail::Orient;
using detail::Pos;
using detail::Pose;
using detail::Vec3;

// How each stored type is read from and written to text: the plain types
// by their codecs, the robot records by their own text forms.
template <class T>
struct Codec
{
    static T read(std::string_view text) { return detail::ValueCodec<T>::read(text); }
    static std::string write(const T& value)
    {
        std::string text;
        detail::ValueCodec<T>::append(text, value);
        return text;
    }
};

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
    throw std::out_of_range(fmt::format("sdf type '{}' is not registered", detail::ForMessage(typeName)));
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

std::string TypeManager::toString(const std::any& value) const
{
    const Writer* found = writer(value.type());
    if (!found)
        throw std::out_of_range(fmt::format("no sdf type is registered for stored type '{}'", value.type().name()));
    return (*found)(value);
}

const TypeManager::Writer* TypeManager::writer(const std::type_info& type) const
{
    const auto found = _writers.find(std::type_index(type));
    return found == _writers.end() ? nullptr : &found->second;
}

const std::string& TypeManager::name(const std::type_info& type) const
{
    const auto found = _namesByType.find(std::type_index(type));
    if (found == _namesByType.end())
        throw std::out_of_range(fmt::format("no sdf type is registered for stored type '{}'", type.name()));
    return found->second;
}

} // namespace sdf
