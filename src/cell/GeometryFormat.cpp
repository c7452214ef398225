#include "cell/GeometryFormat.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>
#include <utility>

namespace cell {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::ranges::transform(out, out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

constexpr std::array<std::pair<std::string_view, GeometryFormat>, 13> kNames{{
    {"step", GeometryFormat::Step},
    {"stp", GeometryFormat::Step},
    {"iges", GeometryFormat::Iges},
    {"igs", GeometryFormat::Iges},
    {"brep", GeometryFormat::Brep},
    {"brp", GeometryFormat::Brep},
    {"stl", GeometryFormat::Stl},
    {"obj", GeometryFormat::Obj},
    {"ply", GeometryFormat::Ply},
    {"gltf", GeometryFormat::Gltf},
    {"glb", GeometryFormat::Glb},
    {"3mf", GeometryFormat::ThreeMf},
    {"p21", GeometryFormat::Step},
}};

} // namespace

std::string_view FormatName(GeometryFormat format)
{
    switch (format) {
    case GeometryFormat::Step: return "step";
    case GeometryFormat::Iges: return "iges";
    case GeometryFormat::Brep: return "brep";
    case GeometryFormat::Stl: return "stl";
    case GeometryFormat::Obj: return "obj";
    case GeometryFormat::Ply: return "ply";
    case GeometryFormat::Gltf: return "gltf";
    case GeometryFormat::Glb: return "glb";
    case GeometryFormat::ThreeMf: return "3mf";
    }
    return "unknown";
}

std::optional<GeometryFormat> FormatFromName(std::string_view name)
{
    const std::string lower = Lower(name);
    for (const auto& [text, format] : kNames)
        if (text == lower)
            return format;
    return std::nullopt;
}

bool IsBrepFormat(GeometryFormat format)
{
    return format == GeometryFormat::Step || format == GeometryFormat::Iges || format == GeometryFormat::Brep;
}

std::optional<double> UnitFromName(std::string_view name)
{
    const std::string lower = Lower(name);
    if (lower == "mm")
        return 1.0;
    if (lower == "cm")
        return 10.0;
    if (lower == "m")
        return 1000.0;
    if (lower == "in" || lower == "inch")
        return 25.4;
    return std::nullopt;
}

GeometryFormat FormatOf(const std::filesystem::path& file, std::string_view fileType)
{
    std::string extension = file.extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    if (auto format = FormatFromName(extension))
        return *format;
    const std::string_view typeName = fileType.substr(0, fileType.find(':'));
    if (auto format = FormatFromName(typeName))
        return *format;
    throw std::runtime_error(
        fmt::format("{}: unknown geometry format (extension \"{}\", file type \"{}\")", file.string(), extension, fileType));
}

} // namespace cell
