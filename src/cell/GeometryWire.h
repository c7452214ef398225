#pragma once

// The answer of the CAD reader program (zrv-cad-read) to the library: a
// B-rep file's Geometry, or the message of the error that reading it threw,
// as bytes on a pipe. The reader runs apart because OpenCASCADE's
// translators crash on some malformed files; its answer is therefore
// treated as outside input and checked in full when decoded.
//
// Layout (native byte order, the reader is built with the library):
//   "ZRVG" u32 version, u8 kind (0 geometry, 1 error), then
//   error:    string message
//   geometry: string name, float arrays positions, normals, points,
//             u32 array indices, faces, edges, parts, bounds, volume
// A string or array is a u64 count followed by its elements.

#include "cell/Geometry.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace cell::detail {

std::string EncodeGeometry(const Geometry& geometry);
std::string EncodeError(std::string_view message);

// The geometry of an answer. Throws std::runtime_error with the reader's
// own message for an error answer, and
//   <file>: the <formatName> reader's answer is malformed (<why>)
// for bytes that are not one whole, consistent answer: counts beyond the
// bytes left, indices past the vertices, faces past the triangles, edges
// or parts that are not there, bytes after the end.
Geometry DecodeGeometry(std::string_view answer, const std::filesystem::path& file, std::string_view formatName);

} // namespace cell::detail
