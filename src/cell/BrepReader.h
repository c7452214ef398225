#pragma once

// Reading B-rep files with OpenCASCADE, kept out of the library's public
// headers so that users of zrvcell need no OpenCASCADE headers.

#include "cell/Geometry.h"
#include "cell/GeometryFormat.h"
#include "cell/LoadOptions.h"

#include <filesystem>

namespace cell::detail {

// file has passed the loader's checks; format is Step, Iges or Brep.
Geometry ReadBrep(const std::filesystem::path& file, GeometryFormat format, const LoadOptions& options);

} // namespace cell::detail
