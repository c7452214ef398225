#pragma once

// How each plain value type is read from and written to text: the one
// place where those rules live. The type registry wraps them in its
// readers and writers by name; the document reader and writer call them
// directly on their hot paths. Internal to the library.
//
// Readers start from the type's default and never fail. Writers append to
// a string and are locale-independent, so a document reads back on any
// machine. The robot records keep their own text forms (zrvrob).

#include <sdformat/NumberText.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/Vec3Template.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sdf::detail {

using Vec3 = zrv::rob::Vec3Template<double>;
using Pos = zrv::rob::PosTemplate<double>;
using Orient = zrv::rob::OrientTemplate<double>;
using Pose = zrv::rob::PoseTemplate<double>;

// Significant digits of a lone double, and of each component of a
// geometric value (the stream default).
constexpr int kDoubleDigits = 16;
constexpr int kComponentDigits = 6;

template <class T>
struct ValueCodec;

template <>
struct ValueCodec<bool>
{
    // Only the exact words of false are false; no trimming, no case folding.
    static bool read(std::string_view text) { return !(text.empty() || text == "0" || text == "false"); }
    static void append(std::string& out, bool value) { out.append(value ? "true" : "false"); }
};

template <class T>
struct IntegerCodec
{
    static T read(std::string_view text)
    {
        T value{};
        ExtractNumber(text, value);
        return value;
    }
    static void append(std::string& out, T value)
    {
        const fmt::format_int text(value);
        out.append(text.data(), text.size());
    }
};

template <> struct ValueCodec<int> : IntegerCodec<int> {};
template <> struct ValueCodec<unsigned int> : IntegerCodec<unsigned int> {};
template <> struct ValueCodec<std::uint64_t> : IntegerCodec<std::uint64_t> {};

template <>
struct ValueCodec<double>
{
    static double read(std::string_view text)
    {
        double value = 0;
        ExtractNumber(text, value);
        return value;
    }
    static void append(std::string& out, double value) { AppendGeneral(out, value, kDoubleDigits); }
};

// Texts are taken as they stand; escaping is the document writer's.
template <>
struct ValueCodec<std::string>
{
    static std::string read(std::string_view text) { return std::string(text); }
    static void append(std::string& out, const std::string& value) { out.append(value); }
};

// Components of the geometric values, in text order.
inline std::array<double*, 3> Components(Vec3& v) { return {&v.x, &v.y, &v.z}; }
inline std::array<double*, 3> Components(Pos& p) { return {&p.x, &p.y, &p.z}; }
inline std::array<double*, 4> Components(Orient& q) { return {&q.w, &q.x, &q.y, &q.z}; }
inline std::array<double*, 7> Components(Pose& p)
{
    return {&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
}
inline std::array<const double*, 3> Components(const Vec3& v) { return {&v.x, &v.y, &v.z}; }
inline std::array<const double*, 3> Components(const Pos& p) { return {&p.x, &p.y, &p.z}; }
inline std::array<const double*, 4> Components(const Orient& q) { return {&q.w, &q.x, &q.y, &q.z}; }
inline std::array<const double*, 7> Components(const Pose& p)
{
    return {&p.pos.x, &p.pos.y, &p.pos.z, &p.orient.w, &p.orient.x, &p.orient.y, &p.orient.z};
}

template <class T>
struct ComponentCodec
{
    static T read(std::string_view text)
    {
        T value{};
        auto components = Components(value);
        ExtractComponents(text, components.data(), static_cast<int>(components.size()));
        return value;
    }
    static void append(std::string& out, const T& value)
    {
        bool first = true;
        for (const double* component : Components(value)) {
            if (!first)
                out.push_back(' ');
            first = false;
            AppendGeneral(out, *component, kComponentDigits);
        }
    }
};

template <> struct ValueCodec<Vec3> : ComponentCodec<Vec3> {};
template <> struct ValueCodec<Pos> : ComponentCodec<Pos> {};
template <> struct ValueCodec<Orient> : ComponentCodec<Orient> {};
template <> struct ValueCodec<Pose> : ComponentCodec<Pose> {};

} // namespace sdf::detail
