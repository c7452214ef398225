#include "sdformat/Catalogue.h"

#include "sdformat/CatalogueFiles.h"
#include "sdformat/MessageText.h"

#include <stdexcept>

namespace sdf {
namespace {

// Built on first use so that no other static initialiser can see it empty.
CatalogueRegistry& registry()
{
    static CatalogueRegistry instance = [] {
        CatalogueRegistry filled;
        auto& files = filled[std::string(kCatalogueVersion)];
        for (std::size_t i = 0; i < detail::kCatalogueFileCount; ++i) {
            const auto& file = detail::kCatalogueFiles[i];
            files.emplace(file.name, std::string(file.data, file.size));
        }
        return filled;
    }();
    return instance;
}

// Enter the texts while the library is loaded.
[[maybe_unused]] const bool registeredAtLoad = (registry(), true);

} // namespace

const CatalogueRegistry& Catalogue()
{
    return registry();
}

const std::string& CatalogueText(std::string_view fileName)
{
    const auto version = registry().find(kCatalogueVersion);
    if (version == registry().end())
        throw std::out_of_range("catalogue has no version " + std::string(kCatalogueVersion));
    const auto& files = version->second;
    const auto found = files.find(fileName);
    if (found == files.end())
        throw std::out_of_range("catalogue has no description file '" + detail::ForMessage(fileName) + "'");
    return found->second;
}

} // namespace sdf
