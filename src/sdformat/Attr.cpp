#include "sdformat/Attr.h"

#include "sdformat/NameIntern.h"
#include "sdformat/TypeManager.h"

#include <common/ZrvAssert.h>

#include <string>
#include <utility>

namespace sdf {

Attr::Attr() : _label(detail::InternName({})), _type(_label) {}

Attr::Attr(std::string_view label, std::string_view type, std::any value, bool required)
    : _label(detail::InternName(label)), _type(detail::InternName(type)), _value(std::move(value)),
      _required(required), _set(false)
{
}

Attr::Attr(const detail::InternedNames& names, std::any value, bool required)
    : _label(names.label), _type(names.type), _value(std::move(value)), _required(required), _set(false)
{
}

Attr::Attr(AttrTemplate& templ) : Attr(templ._label, templ._type, templ._default, templ._required) {}

Attr::Attr(const Attr&) = default;
Attr::Attr(Attr&&) noexcept = default;
Attr& Attr::operator=(const Attr&) = default;
Attr& Attr::operator=(Attr&&) noexcept = default;
Attr::~Attr() = default;

std::string Attr::asString() const
{
    ZRV_ASSERT(TypeManager::inst()->contains(_value.type()), "TypeManager::inst()->contains(_value.type())",
               "src/sdformat/Attr");
    return TypeManager::inst()->toString(_value);
}

void Attr::fromString(std::string_view text)
{
    ZRV_ASSERT(TypeManager::inst()->contains(*_type), "TypeManager::inst()->contains(_type)", "src/sdformat/Attr");
    // Only a value that was actually read makes the attribute set.
    _value = TypeManager::inst()->fromString(*_type, text);
    _set = true;
}

const std::string& Attr::Type(const std::type_info& type)
{
    return TypeManager::inst()->name(type);
}

void Attr::set(const std::any& value)
{
    const std::type_info& given = value.type();
    if (given == typeid(const char*)) {
        // A null pointer is no text; hold the empty string rather than crash.
        const char* text = std::any_cast<const char*>(value);
        _value = std::string(text ? text : "");
    } else if (given == typeid(char*)) {
        const char* text = std::any_cast<char*>(value);
        _value = std::string(text ? text : "");
    } else if (given == typeid(std::string_view)) {
        _value = std::string(std::any_cast<std::string_view>(value));
    } else if (_value.type() == typeid(unsigned int) && given == typeid(int)) {
        // Ids are unsigned; an int literal given for one stays unsigned.
        _value = static_cast<unsigned int>(std::any_cast<int>(value));
    } else {
        ZRV_ASSERT(TypeManager::inst()->contains(_value.type()), "TypeManager::inst()->contains(_value.type())",
                   "src/sdformat/Attr");
        _value = value;
    }
    _set = true;
}

std::shared_ptr<Attr> Attr::clone() const
{
    // The names are interned already; no need to look them up again.
    return std::make_shared<Attr>(detail::InternedNames{_label, _type}, _value, _required);
}

} // namespace sdf
