#include "sdformat/ElementTemplate.h"

#include "sdformat/MessageText.h"
#include "sdformat/TypeManager.h"

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

namespace sdf {
namespace {

// The text of a description node's attribute. Present-but-empty counts as
// given; only a missing mandatory attribute is an error.
std::string readAttribute(pugi::xml_node node, const char* name, bool mandatory)
{
    const pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) {
        if (mandatory)
            throw std::runtime_error(fmt::format("Element is missing the '{}' attribute", detail::ForMessage(name)));
        return {};
    }
    return attribute.value();
}

std::string readMandatory(pugi::xml_node node, const char* name)
{
    return readAttribute(node, name, true);
}

// Required codes are read by their first character only: the catalogue
// writes "1", "0" and "*" (any number of times), and only a yes counts.
bool readRequiredCode(std::string_view code)
{
    if (code.empty())
        return false;
    switch (code.front()) {
    case '1':
    case 't':
    case 'T':
    case 'y':
    case 'Y':
        return true;
    default:
        return false;
    }
}

constexpr std::string_view kAnnotated = "annotated";

} // namespace

ElementTemplate::ElementTemplate(pugi::xml_node element)
    : _name(readMandatory(element, "name"))
    , _required(readRequiredCode(readMandatory(element, "required")))
{
    const std::string type = readAttribute(element, "type", false);
    if (type == kAnnotated) {
        // The value type is chosen per element in a document, so there is
        // no default to read.
        _annotated = true;
    } else if (!type.empty()) {
        const std::string defaultText = readMandatory(element, "default");
        _value = AttrTemplate{_name, type, TypeManager::inst()->fromString(type, defaultText), _required};
    }

    for (const pugi::xml_node node : element.children("attribute")) {
        std::string n = readMandatory(node, "name");
        std::string attributeType = readMandatory(node, "type");
        const std::string defaultText = readMandatory(node, "default");
        const bool required = readRequiredCode(readMandatory(node, "required"));
        ZRV_ASSERT(std::ranges::find(_attributes, n, &AttrTemplate::_label) == _attributes.end(),
                   "!std::ranges::contains(_attributes, n, [](auto& a){ return a._label; })",
                   "src/sdformat/ElementTemplate");
        std::any defaultValue = TypeManager::inst()->fromString(attributeType, defaultText);
        _attributes.push_back(AttrTemplate{std::move(n), std::move(attributeType), std::move(defaultValue), required});
    }

    for (const pugi::xml_node node : element.children("element"))
        _children.emplace_back(node);
}

const ElementTemplate& ElementTemplate::child(std::string_view name) const
{
    // Names need not be distinct (an object's own `parent` comes before the
    // one shared object fields bring in); the first one wins.
    const auto found = std::ranges::find(_children, name, &ElementTemplate::_name);
    if (found == _children.end())
        throw std::logic_error(fmt::format("element '{}' does not have '{}' child element", detail::ForMessage(_name),
                                                detail::ForMessage(name)));
    return *found;
}

} // namespace sdf
