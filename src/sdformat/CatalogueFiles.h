#pragma once

// The description files as compiled into the library. The generated source
// (see cmake/EmbedCatalogue.cmake) defines the table; the catalogue registry
// enters it under format version "1.0" during static initialisation.

#include <cstddef>

namespace sdf::detail {

struct CatalogueFile
{
    const char* name;
    const char* data;
    std::size_t size;
};

// A file table with at least one entry, so the array is never empty; the
// count is the number of real files.
extern const CatalogueFile kCatalogueFiles[];
extern const std::size_t kCatalogueFileCount;

} // namespace sdf::detail
