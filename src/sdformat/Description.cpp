// Loading description files and expanding their includes.

#include "sdformat/Catalogue.h"
#include "sdformat/ElementTemplate.h"
#include "sdformat/MessageText.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace sdf {
namespace {

// One expansion from its first file to its last include. The files being
// loaded, outermost first, are what makes a cycle visible: a file that is
// asked for while it is still being loaded would be expanded forever.
class Expansion
{
public:
    explicit Expansion(const DescriptionLookup& lookup)
        : _lookup(lookup)
    {
    }

    void load(pugi::xml_document& document, std::string_view fileName)
    {
        if (std::ranges::find(_loading, fileName) != _loading.end())
            throw std::runtime_error(fmt::format("include cycle through '{}'", detail::ForMessage(fileName)));

        const std::string& text = _lookup(fileName);
        if (text.empty())
            throw std::runtime_error("no xml data");
        if (!document.load_buffer(text.data(), text.size(), pugi::parse_default))
            throw std::runtime_error("parse xml error");

        _loading.emplace_back(fileName);
        expand(document);
        _loading.pop_back();
    }

    void expand(pugi::xml_node node)
    {
        pugi::xml_node child = node.first_child();
        while (child) {
            if (std::string_view(child.name()) != "include") {
                expand(child);
                child = child.next_sibling();
                continue;
            }
            // The included file's top-level nodes take the include's place,
            // in order; they arrive expanded, so the walk goes on after them.
            pugi::xml_document included;
            load(included, child.attribute("filename").value());
            for (const pugi::xml_node top : included.children())
                node.insert_copy_before(top, child);
            const pugi::xml_node include = child;
            child = child.next_sibling();
            node.remove_child(include);
        }
    }

private:
    const DescriptionLookup& _lookup;
    std::vector<std::string> _loading;
};

const DescriptionLookup& catalogueLookup()
{
    static const DescriptionLookup lookup = [](std::string_view fileName) -> const std::string& {
        return CatalogueText(fileName);
    };
    return lookup;
}

} // namespace

void LoadDescription(pugi::xml_document& document, std::string_view fileName, const DescriptionLookup& lookup)
{
    Expansion(lookup).load(document, fileName);
}

void LoadDescription(pugi::xml_document& document, std::string_view fileName)
{
    LoadDescription(document, fileName, catalogueLookup());
}

void ExpandIncludes(pugi::xml_node node, const DescriptionLookup& lookup)
{
    Expansion(lookup).expand(node);
}

void ExpandIncludes(pugi::xml_node node)
{
    ExpandIncludes(node, catalogueLookup());
}

} // namespace sdf
