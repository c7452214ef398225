#pragma once

// Description files that a test writes itself, served to the description
// loader in place of the embedded catalogue.

#include <sdformat/ElementTemplate.h>

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sdf::test {

class DescriptionTexts
{
public:
    DescriptionTexts& add(std::string fileName, std::string text)
    {
        _texts[std::move(fileName)] = std::move(text);
        return *this;
    }

    // Unknown names fail like the catalogue does.
    DescriptionLookup lookup() const
    {
        return [this](std::string_view fileName) -> const std::string& {
            return _texts.at(std::string(fileName));
        };
    }

private:
    std::map<std::string, std::string> _texts;
};

// The template of the first top-level `element` of a one-file description.
inline ElementTemplate BuildFromText(std::string text)
{
    DescriptionTexts texts;
    texts.add("test.sdf", std::move(text));
    pugi::xml_document document;
    LoadDescription(document, "test.sdf", texts.lookup());
    return ElementTemplate(document.child("element"));
}

} // namespace sdf::test
