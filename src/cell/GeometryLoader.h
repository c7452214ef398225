#pragma once

// Reads one geometry file into a Geometry: B-rep files (STEP, IGES, BREP)
// through OpenCASCADE, tessellated within the options' tolerances; meshes
// (STL, OBJ, PLY, glTF/GLB, 3MF) through Assimp. Units become millimetres:
// STEP and IGES carry their unit and are converted; the other formats carry
// none and are scaled by the unit the options give.
//
// Only regular files up to options.maxBytes are opened. Every failure is a
// std::runtime_error whose message starts with the file's path.

#include "cell/Export.h"
#include "cell/Geometry.h"
#include "cell/LoadOptions.h"

#include <filesystem>

namespace cell {

ZRV_CELL_EXPORT Geometry LoadGeometry(const std::filesystem::path& file, const LoadOptions& options = {});

} // namespace cell
