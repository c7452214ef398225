#pragma once

// Reading mesh files with Assimp, kept out of the library's public headers.

#include "cell/Geometry.h"
#include "cell/GeometryFormat.h"

#include <filesystem>
#include <string_view>

namespace cell::detail {

// bytes: the whole file, which has passed the loader's checks; scale:
// millimetres per file unit.
Geometry ReadMesh(const std::filesystem::path& file, std::string_view bytes, GeometryFormat format, double scale);

} // namespace cell::detail
