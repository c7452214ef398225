#include "sdformat/Attr.h"

#include "sdformat/NameIntern.h"
#include "sdformat/TypeManager.h"

#include <common/ZrvAssert.h>

#include <string>
#include <utility>

namespace sdf {

Attr::Attr() : Attr(detail::InternNames(detail::InternName({}), detail::InternName({})), std::any(), false) {}

Attr::Attr(std::string_view label, std::string_view type, std::any value, bool required)
    : Attr(detail::InternNames(detail::InternName(label), detail::InternName(type)), std::move(value), required)
{
}

Attr::Attr(const detail::InternedNames* names, std::any value, bool required)
    : _namesAndFlags(reinterpret_cast<std::uintptr_t>(names) | (required ? kRequired : 0)), _value(std::move(value))
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
    // The condition is named as callers and their tests know it.
    ZRV_ASSERT(TypeManager::inst()->contains(type()), "TypeManager::inst()->contains(_type)", "src/sdformat/Attr");
    // Only a value that was actually read makes the attribute set.
    _value = TypeManager::inst()->fromString(type(), text);
    markSet();
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
    markSet();
}

std::shared_ptr<Attr> Attr::clone() const
{
    // The names are interned already; no need to look them up again.
    return std::make_shared<Attr>(&names(), _value, isRequired());
}

} // namespace sdf
