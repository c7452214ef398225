#pragma once

// Reading a B-rep file in the CAD reader program (zrv-cad-read) rather than
// in this process: OpenCASCADE's translators crash on some malformed files,
// and a crash in a separate process is an error message, not the end of the
// window or of sdftool. The program is started with posix_spawn (the
// window calls this from worker threads), stopped after
// LoadOptions::readerSeconds, and limited to LoadOptions::readerMemoryBytes
// of address space (except in sanitizer builds, which reserve terabytes).

#include "cell/Geometry.h"
#include "cell/GeometryFormat.h"
#include "cell/LoadOptions.h"

#include <filesystem>

namespace cell::detail {

// The environment variable that names the program, for tests and for
// trying another build of it.
inline constexpr const char* kCadReaderVariable = "ZRV_CAD_READER";

// Where the program is: $ZRV_CAD_READER when set, else installed beside
// this library (or the program linking it), else in the build tree.
// Throws std::runtime_error naming the places looked at when it is in none.
std::filesystem::path CadReaderProgram();

// The geometry of file as detail::ReadBrep gives it, read by the program.
// Throws std::runtime_error with ReadBrep's message, or one saying that the
// reader crashed (with the signal), ran out of time, or answered nonsense.
Geometry ReadBrepApart(const std::filesystem::path& file, GeometryFormat format, const LoadOptions& options);

} // namespace cell::detail
