// Typed and text access to element values.

#include <sdformat/Element.h>

namespace sdf {

namespace {
constexpr const char* kSource = "src/sdformat/Element";
} // namespace

bool Element::asBool(std::string_view path) { return as<bool>(path); }
std::int32_t Element::asInt(std::string_view path) { return as<std::int32_t>(path); }
std::uint32_t Element::asUInt(std::string_view path) { return as<std::uint32_t>(path); }
std::uint64_t Element::asUInt64(std::string_view path) { return as<std::uint64_t>(path); }
double Element::asDouble(std::string_view path) { return as<double>(path); }
std::string Element::asString(std::string_view path) { return as<std::string>(path); }
zrv::rob::Vec3Template<double> Element::asVec3(std::string_view path) { return as<zrv::rob::Vec3Template<double>>(path); }
zrv::rob::PosTemplate<double> Element::asPos(std::string_view path) { return as<zrv::rob::PosTemplate<double>>(path); }
zrv::rob::OrientTemplate<double> Element::asOrient(std::string_view path)
{
    return as<zrv::rob::OrientTemplate<double>>(path);
}
zrv::rob::PoseTemplate<double> Element::asPose(std::string_view path) { return as<zrv::rob::PoseTemplate<double>>(path); }
zrv::rob::ToolData Element::asToolData(std::string_view path) { return as<zrv::rob::ToolData>(path); }
zrv::rob::WObjData Element::asWObjData(std::string_view path) { return as<zrv::rob::WObjData>(path); }

void Element::createAnnotatedValue(std::any value, const std::string& typeName)
{
    auto created = std::make_shared<Attr>(label(), typeName, std::move(value), true);
    created->markSet();
    // A `type` attribute left over without a value (for instance from a
    // read document whose value text was dropped) is brought in line rather
    // than doubled.
    if (Attr* type = findAttribute("type"))
        type->set(std::any(typeName));
    else
        addAttribute("type", "string", typeName);
    _value = std::move(created);
}

// Text access uses this element's value, or its `value` child's for the
// elements that keep a user value of free type there.
std::string Element::getStringFromValue() const
{
    const Element* el = _value ? this : findChild("value");
    ZRV_ASSERT(el && el->_value, "el && el->_value", kSource);
    if (!el || !el->_value)
        ThrowNoValue({});
    return el->_value->asString();
}

void Element::setValueFromString(std::string_view text)
{
    Element* el = _value ? this : findChild("value");
    ZRV_ASSERT(el && el->_value, "el && el->_value", kSource);
    if (!el || !el->_value)
        ThrowNoValue({});
    el->_value->fromString(text);
}

std::shared_ptr<Element> Element::appendObject(std::string_view name, unsigned int id, std::string_view objectName)
{
    auto child = append(name);
    child->setId(id);
    child->set<std::string_view>("name", objectName);
    return child;
}

template std::shared_ptr<Element> Element::set<std::string_view>(std::string_view, const std::string_view&);
template std::shared_ptr<Element> Element::set<unsigned int>(std::string_view, const unsigned int&);
template std::shared_ptr<Element> Element::set<std::string>(std::string_view, const std::string&);
template std::shared_ptr<Element> Element::set<zrv::rob::PoseTemplate<double>>(std::string_view,
                                                                               const zrv::rob::PoseTemplate<double>&);
template void Element::setValue<std::string>(const std::string&);
template void Element::setValue<unsigned int>(const unsigned int&);

} // namespace sdf
