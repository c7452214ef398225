// STEP, IGES and BREP files, whatever their bytes, through the loader as
// every caller reads them: in the CAD reader program. OpenCASCADE 7.6's
// readers dereference null entities and surfaces of malformed files; the
// program's crash, hang or nonsense must come back as a std::runtime_error
// and the geometry that does come back must hold together. The first byte
// picks the format, the rest is the file. A process per input makes this
// slow (about half a second an input in this instrumented build).

#include "FuzzSupport.h"

#include "GeometryCheck.h"
#include "cell/GeometryLoader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::array<const char*, 3> kExtensions{".step", ".iges", ".brep"};
    if (size == 0)
        return 0;
    const std::filesystem::path file = zrv::fuzz::WorkDir() / (std::string("input") + kExtensions[data[0] % 3]);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    cell::LoadOptions options;
    // Coarse tessellation: the fuzzer looks for faults, not fine triangles.
    options.chordTolerance = 1.0;
    // Within libFuzzer's time for one input, so that a reader that hangs
    // is the loader's error, not a fuzzer timeout.
    options.readerSeconds = 5;
    try {
        const cell::Geometry geometry = cell::LoadGeometry(file, options);
        zrv::fuzz::CheckGeometry(geometry);
    } catch (const std::runtime_error&) {
    }
    return 0;
}
