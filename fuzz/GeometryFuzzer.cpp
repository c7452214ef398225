// Whatever bytes arrive under a geometry file's name, the loaders answer
// with geometry or a std::runtime_error: never a crash, a hang or a read
// past the data. The first byte picks the format (the file's extension),
// the rest is the file.
//
// STEP, IGES and BREP are left out here: they are read by the CAD reader
// program, a process per file, hundreds of times slower than the mesh
// readers. cad_fuzzer covers them, so that this one keeps its pace.

#include "FuzzSupport.h"

#include "GeometryCheck.h"
#include "cell/GeometryLoader.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

// Assimp 5.2's PLY reader leaks its element buffers when an ASCII body is
// malformed (about a kilobyte per bad file); that is its fault to fix, not
// a finding of this fuzzer.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libassimp.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<const char*, 9> kExtensions{".step", ".iges", ".brep", ".stl", ".obj",
                                                            ".ply",  ".gltf", ".glb",  ".3mf"};
    if (size == 0 || data[0] % 9 < 3)
        return 0;
    const std::filesystem::path file = zrv::fuzz::WorkDir() / (std::string("input") + kExtensions[data[0] % 9]);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    cell::LoadOptions options;
    // Coarse tessellation: the fuzzer looks for faults, not fine triangles.
    options.chordTolerance = 1.0;
    try {
        const cell::Geometry geometry = cell::LoadGeometry(file, options);
        zrv::fuzz::CheckGeometry(geometry);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
