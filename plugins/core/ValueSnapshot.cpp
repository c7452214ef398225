#include "ValueSnapshot.h"

#include <sdformat/Attr.h>
#include <sdformat/Element.h>
#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ZoneData.h>

#include <cstdint>
#include <typeinfo>

namespace zrv::core {

namespace {

template <class... T>
struct TypeList
{
};

// The stored types of the library's registered value types.
using Stored = TypeList<bool, int, unsigned int, std::uint64_t, double, std::string, zrv::rob::Vec3Template<double>,
                        zrv::rob::PosTemplate<double>, zrv::rob::OrientTemplate<double>,
                        zrv::rob::PoseTemplate<double>, zrv::rob::ToolData, zrv::rob::WObjData, zrv::rob::SpeedData,
                        zrv::rob::ZoneData, zrv::rob::RobTarget, zrv::rob::JointTarget>;

template <class... T>
std::any Capture(sdf::Element& element, TypeList<T...>)
{
    const std::type_info& held = element.type_info();
    std::any result;
    ((held == typeid(T) ? (result = element.as<T>(), true) : false) || ...);
    return result;
}

template <class... T>
bool Put(sdf::Element& element, const std::any& value, TypeList<T...>)
{
    return ((value.type() == typeid(T) ? (element.setValue(std::any_cast<const T&>(value)), true) : false) || ...);
}

} // namespace

ValueSnapshot ValueSnapshot::Take(const std::shared_ptr<sdf::Element>& element, const std::shared_ptr<sdf::Attr>& attr)
{
    ValueSnapshot snapshot;
    if (attr) {
        snapshot.text = attr->asString();
        return snapshot;
    }
    snapshot.text = element->getStringFromValue();
    if (element->hasValue())
        snapshot.value = Capture(*element, Stored{});
    return snapshot;
}

void ValueSnapshot::restore(const std::shared_ptr<sdf::Element>& element, const std::shared_ptr<sdf::Attr>& attr) const
{
    if (attr) {
        attr->fromString(text);
        return;
    }
    if (!value.has_value() || !Put(*element, value, Stored{}))
        element->setValueFromString(text);
}

} // namespace zrv::core
