#include "FieldUnit.h"

#include <sdformat/Element.h>

#include <any>
#include <numbers>
#include <string>

namespace zrv::core {

namespace {

const QString Degrees = QStringLiteral("\u00b0");
const QString Millimetres = QStringLiteral("mm");

bool IsPrismatic(const sdf::Element& joint)
{
    try {
        return joint.valueOr<std::string>("type", "revolute") == "prismatic";
    } catch (const std::bad_any_cast&) {
        return false;
    }
}

std::optional<double> NumberAt(const sdf::Element& element, std::string_view path)
{
    try {
        if (!element.exists(path))
            return std::nullopt;
        return element.valueOr<double>(path, 0);
    } catch (const std::bad_any_cast&) {
        return std::nullopt;
    }
}

bool Labelled(const std::shared_ptr<sdf::Element>& element, std::string_view label)
{
    return element && element->label() == label;
}

} // namespace

FieldUnit FieldUnit::Of(const FieldListModel::Field& field)
{
    FieldUnit unit;
    if (field.attr || !field.element->hasValue())
        return unit;
    const sdf::Element& element = *field.element;
    const std::string& label = element.label();
    const std::shared_ptr<sdf::Element> parent = element.parent();
    const std::type_info& type = field.element->type_info();
    if (type == typeid(zrv::rob::PoseTemplate<double>)) {
        unit.symbol = Millimetres;
    } else if (type == typeid(zrv::rob::PosTemplate<double>)) {
        unit.symbol = Millimetres;
    } else if (type != typeid(double)) {
        return unit;
    } else if (label == "value" && Labelled(parent, "joint")) {
        const bool prismatic = IsPrismatic(*parent);
        unit.symbol = prismatic ? Millimetres : Degrees;
        unit.shownPerStored = prismatic ? 1 : 180 / std::numbers::pi;
        unit.lower = NumberAt(*parent, "axis/limit/lower");
        unit.upper = NumberAt(*parent, "axis/limit/upper");
    } else if ((label == "lower" || label == "upper") && Labelled(parent, "limit") &&
               Labelled(parent->parent(), "axis") && Labelled(parent->parent()->parent(), "joint")) {
        unit.symbol = IsPrismatic(*parent->parent()->parent()) ? Millimetres : Degrees;
    } else if (label == "value" && Labelled(parent, "joint_state")) {
        unit.symbol = Degrees;
        unit.shownPerStored = 180 / std::numbers::pi;
    } else if (label == "entry_arc_angle" || label == "exit_arc_angle") {
        unit.symbol = Degrees;
    }
    return unit;
}

QString FieldUnit::shown(const QString& storedText) const
{
    if (!converts())
        return storedText;
    bool ok = false;
    const double stored = storedText.toDouble(&ok);
    return ok ? QString::number(stored * shownPerStored, 'g', 10) : storedText;
}

} // namespace zrv::core
