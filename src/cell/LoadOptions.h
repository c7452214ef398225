#pragma once

// How a geometry file is read: its format and unit when the file does not
// say, the tessellation's tolerances and the largest file accepted.

#include "cell/Export.h"

#include <cstdint>
#include <string>

namespace cell {

struct ZRV_CELL_EXPORT LoadOptions
{
    // A `geometry/file_type` value: a format name ("step", "stl", ...),
    // optionally followed by ":" and the unit of a mesh file ("stl:m").
    // The file's extension decides the format when it is a known one; the
    // type decides otherwise.
    std::string fileType;
    // Millimetres per unit of mesh files that carry no unit (STL, OBJ, PLY,
    // glTF, 3MF) when the type names none; 1: millimetres.
    double meshUnit = 1.0;
    // Largest distance between a curve or surface and its chords (mm), and
    // largest angle between neighbouring chords (radians).
    double chordTolerance = 0.1;
    double angularTolerance = 0.5;
    std::uint64_t maxBytes = std::uint64_t{1} << 30;
    // B-rep files are read by a separate program, so that a file that
    // crashes OpenCASCADE is an error, not the end of the caller: it is
    // stopped after readerSeconds, and its address space is limited to
    // readerMemoryBytes (not in sanitizer builds; 0: no limit).
    double readerSeconds = 120;
    std::uint64_t readerMemoryBytes = std::uint64_t{16} << 30;

    // A text that differs whenever two options would load differently.
    std::string key() const;
};

} // namespace cell
