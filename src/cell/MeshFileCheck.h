#pragma once

// Whether a geometry file a station names may be handed to a mesh loader.
//
// The loaders the view uses trust their input: they open whatever a name
// points at (a pipe blocks them for ever), recurse once per level of JSON
// nesting and spend time far beyond linear in the number of glTF nodes.
// So before any of them sees a file, it is checked here, on the thread
// that lays out the cell: the file and every file it names (glTF buffers
// and images, OBJ material libraries) must be regular files within a size
// limit, and a glTF's JSON (also the one inside a .glb) is scanned without
// recursion for its nesting depth and node count.

#include "cell/Export.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace cell {

class ZRV_CELL_EXPORT MeshFileCheck
{
public:
    // A mesh file, or a file it names.
    static constexpr std::uintmax_t MaxFileBytes = 256ull << 20;
    // The JSON of a glTF.
    static constexpr std::size_t MaxJsonBytes = 64u << 20;
    static constexpr std::size_t MaxJsonDepth = 64;
    static constexpr std::size_t MaxNodes = 5000;

    // Why the mesh file must not be loaded, or nothing when it may.
    static std::optional<std::string> Problem(const std::filesystem::path& mesh);
};

} // namespace cell
