#include "ValueAccess.h"

#include "Command.h"

#include <sdformat/TypeManager.h>

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

#include <fmt/format.h>

#include <any>
#include <cstdint>
#include <stdexcept>
#include <tuple>
#include <type_traits>

namespace sdftool {

namespace {

const sdf::Attr* typeAttribute(const sdf::Element& element)
{
    for (const auto& attr : element.attributes())
        if (attr->label() == "type")
            return attr.get();
    return nullptr;
}

Located valueChild(const Located& at)
{
    auto child = at.element->get("value");
    if (!child)
        return {};
    return {child, &at.templ->child("value"), {}, {}};
}

// The stored types of the sixteen registered value types.
using ValueTypes =
    std::tuple<bool, int, unsigned int, std::uint64_t, double, std::string, zrv::rob::Vec3Template<double>,
               zrv::rob::PosTemplate<double>, zrv::rob::OrientTemplate<double>, zrv::rob::PoseTemplate<double>,
               zrv::rob::ToolData, zrv::rob::WObjData, zrv::rob::SpeedData, zrv::rob::ZoneData,
               zrv::rob::RobTarget, zrv::rob::JointTarget>;

template <class... T>
bool setTyped(sdf::Element& element, const std::any& value, std::type_identity<std::tuple<T...>>)
{
    return ((value.type() == typeid(T) ? (element.setValue<T>(std::any_cast<const T&>(value)), true) : false) ||
            ...);
}

} // namespace

bool HasValue(const sdf::Element& element, const sdf::ElementTemplate& templ)
{
    return templ.hasValue() || typeAttribute(element) != nullptr;
}

std::string ValueType(const sdf::Element& element, const sdf::ElementTemplate& templ)
{
    if (const sdf::Attr* type = typeAttribute(element))
        return type->asString();
    return templ._value._type;
}

Located ValueHolder(const Located& at)
{
    if (HasValue(*at.element, *at.templ))
        return at;
    if (Located child = valueChild(at); child.element && HasValue(*child.element, *child.templ))
        return child;
    return {};
}

Located UntypedHolder(const Located& at)
{
    if (HasValue(*at.element, *at.templ))
        return {};
    if (at.templ->_annotated)
        return at;
    if (Located child = valueChild(at); child.element && child.templ->_annotated && !HasValue(*child.element, *child.templ))
        return child;
    return {};
}

void WriteFirstValue(sdf::Element& element, std::string_view typeName, std::string_view text)
{
    std::any value;
    try {
        value = sdf::TypeManager::inst()->fromString(typeName, text);
    } catch (const std::out_of_range&) {
        throw Failure(fmt::format("unknown type '{}'", typeName));
    }
    if (!setTyped(element, value, std::type_identity<ValueTypes>{}))
        throw Failure(fmt::format("type '{}' cannot be written here", typeName));
}

} // namespace sdftool
