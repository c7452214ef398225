// The root template: built from "root.sdf" once per process.

#include "sdformat/Catalogue.h"
#include "sdformat/ElementTemplate.h"

#include <stdexcept>

namespace sdf {

ElementTemplate BuildRootTemplate(const DescriptionLookup& lookup)
{
    pugi::xml_document document;
    LoadDescription(document, "root.sdf", lookup);
    const pugi::xml_node root = document.child("element");
    if (!root)
        throw std::runtime_error("no <element>");
    // The template copies all it needs; the parsed document goes away here.
    return ElementTemplate(root);
}

const ElementTemplate& RootTemplate()
{
    // A function-local static is the whole holder: the language makes its
    // initialisation a one-time build that concurrent first callers wait
    // for, leaves it unbuilt when the build throws (so the next call starts
    // again from the catalogue), and costs a single acquire load afterwards.
    static const ElementTemplate root = BuildRootTemplate(
        [](std::string_view fileName) -> const std::string& { return CatalogueText(fileName); });
    return root;
}

} // namespace sdf
