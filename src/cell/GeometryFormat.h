#pragma once

// The formats the geometry loader reads, and which one a file is in.

#include "cell/Export.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cell {

enum class GeometryFormat
{
    Step,
    Iges,
    Brep,
    Stl,
    Obj,
    Ply,
    Gltf,
    Glb,
    ThreeMf,
};

ZRV_CELL_EXPORT std::string_view FormatName(GeometryFormat format);
// From a name ("step", "stp", "iges", "igs", "stl", ...), any case.
ZRV_CELL_EXPORT std::optional<GeometryFormat> FormatFromName(std::string_view name);
ZRV_CELL_EXPORT bool IsBrepFormat(GeometryFormat format);

// Millimetres per unit from a unit name: "mm", "cm", "m", "in"; nullopt
// for anything else.
ZRV_CELL_EXPORT std::optional<double> UnitFromName(std::string_view name);

// The format of file: its extension when it names a format, else the
// format of fileType ("stl" or "stl:m"). Throws std::runtime_error when
// neither names a format.
ZRV_CELL_EXPORT GeometryFormat FormatOf(const std::filesystem::path& file, std::string_view fileType);

} // namespace cell
