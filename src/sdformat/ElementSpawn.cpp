// Creating elements from their templates.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/ElementWithValue.h>
#include <sdformat/RootElement.h>

namespace sdf {

std::shared_ptr<Element> ElementTemplate::spawn() const
{
    std::shared_ptr<Element> element;
    if (hasValue())
        element = Element::WithValue::Make(std::allocator<Element::WithValue>(), _value._label, _value._type,
                                           _value._default, _required);
    else
        element = std::make_shared<Element>();
    element->_template = this;
    element->_attributes.reserve(_attributes.size());
    for (const auto& a : _attributes)
        element->_attributes.push_back(std::make_shared<Attr>(a._label, a._type, a._default, a._required));
    return element;
}

std::shared_ptr<Element> CreateRootElement()
{
    return RootTemplate().spawn();
}

} // namespace sdf
