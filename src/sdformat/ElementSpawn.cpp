// Creating elements from their templates.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/RootElement.h>

namespace sdf {

std::shared_ptr<Element> ElementTemplate::spawn() const
{
    auto element = std::make_shared<Element>();
    element->_template = this;
    element->_attributes.reserve(_attributes.size());
    for (const auto& a : _attributes)
        element->_attributes.push_back(std::make_shared<Attr>(a._label, a._type, a._default, a._required));
    if (hasValue())
        element->_value = std::make_shared<Attr>(_value._label, _value._type, _value._default, _required);
    return element;
}

std::shared_ptr<Element> CreateRootElement()
{
    return RootTemplate().spawn();
}

} // namespace sdf
