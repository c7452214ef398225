#pragma once

// The catalogue registry: description texts by format version and file
// name. Internal to the library; filled once by static initialisation from
// the files compiled into the library and read-only afterwards.

#include <map>
#include <string>
#include <string_view>

namespace sdf {

// The format version every lookup uses.
inline constexpr std::string_view kCatalogueVersion = "1.0";

using CatalogueRegistry = std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>>;

// The whole registry (version -> file name -> text).
const CatalogueRegistry& Catalogue();

// The stored text of a description file of version "1.0".
// Throws std::out_of_range for a file name that is not registered.
const std::string& CatalogueText(std::string_view fileName);

} // namespace sdf
