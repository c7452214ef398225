#include "HoverText.h"

#include "CellScene.h"
#include "ElementSearch.h"

#include <sdformat/Element.h>

#include <zrvrob/RobTarget.h>

#include <exception>
#include <typeinfo>

namespace zrv::core {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

QString TextAt(const sdf::Element& element, std::string_view path)
{
    try {
        return QString::fromStdString(element.valueOr<std::string>(path, std::string()));
    } catch (const std::exception&) {
        return {};
    }
}

// As the tree and the selected title name it.
QString Title(const sdf::Element& element)
{
    const QString name = TextAt(element, "name");
    const QString kind = QString::fromStdString(element.label());
    const uint id = element.getId(false);
    return name.isEmpty() ? QStringLiteral("(unnamed %1 %2)").arg(kind).arg(id)
                          : QStringLiteral("%1 (%2 %3)").arg(name, kind).arg(id);
}

bool Holds(const ElementPtr& element, const std::type_info& type)
{
    const ElementPtr value = element->get("value");
    return value && value->hasValue() && value->type_info() == type;
}

// The instruction's robtarget: the data item an argument names, else the
// argument holding one, as the layout finds the target.
QString RobTargetOf(const ElementPtr& instruction)
{
    for (const auto& argument : instruction->children("argument")) {
        if (Holds(argument, typeid(zrv::rob::RobTarget)))
            return QStringLiteral("robtarget inline (argument %1)").arg(TextAt(*argument, "name"));
        if (!Holds(argument, typeid(std::string)))
            continue;
        const QString named = TextAt(*argument, "value");
        const ElementPtr path = instruction->parent();
        const ElementPtr task = path ? path->parent() : nullptr;
        if (!task || named.isEmpty())
            continue;
        for (const auto& data : task->children("dataitem"))
            if (TextAt(*data, "name") == named && Holds(data, typeid(zrv::rob::RobTarget)))
                return QStringLiteral("robtarget %1").arg(named);
    }
    return QStringLiteral("no robtarget");
}

} // namespace

QString HoverText::Describe(const CellScene& scene, std::uint32_t object, std::uint32_t body)
{
    const cell::CellLayout* layout = scene.layout();
    const ElementPtr root = layout ? layout->root() : nullptr;
    const ElementPtr element = root ? FindById(root, body != 0 ? body : object) : nullptr;
    if (!element)
        return {};
    if (element->label() == "instruction") {
        const QString reach = scene.reachText(object);
        return QStringLiteral("%1 · %2 · %3")
            .arg(Title(*element), RobTargetOf(element), reach.isEmpty() ? QStringLiteral("reach not judged") : reach);
    }
    // A body or link names what it belongs to.
    const ElementPtr holder = element->parent();
    if (holder && holder->getId(false) != 0 && holder->label() != "station")
        return QStringLiteral("%1 of %2").arg(Title(*element), Title(*holder));
    return Title(*element);
}

} // namespace zrv::core
