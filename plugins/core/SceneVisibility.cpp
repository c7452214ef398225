#include "SceneVisibility.h"

#include "cell/CellLayout.h"

#include <sdformat/Element.h>

#include <exception>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace zrv::core {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

// The Show menu's kind of a top-level station object drawn as a whole.
QString KindOfObject(const std::string& label)
{
    if (label == "manipulator")
        return QStringLiteral("robots");
    if (label == "tool")
        return QStringLiteral("tools");
    if (label == "device")
        return QStringLiteral("devices");
    if (label == "part" || label == "pointcloud" || label == "smart_component")
        return QStringLiteral("parts");
    return {};
}

std::uint32_t ParentOf(const sdf::Element& element)
{
    try {
        return element.valueOr<unsigned int>("parent", 0u);
    } catch (const std::exception&) {
        return 0;
    }
}

// Calls visit(element, nearest enclosing object id) for every element below
// `from`, with a stack of its own (stations nest deep).
template <class Visit>
void Walk(const ElementPtr& from, Visit&& visit)
{
    std::vector<std::pair<ElementPtr, std::uint32_t>> pending;
    for (const auto& child : from->elements())
        pending.emplace_back(child, from->getId(false));
    while (!pending.empty()) {
        auto [element, holder] = std::move(pending.back());
        pending.pop_back();
        visit(*element, holder);
        const std::uint32_t id = element->getId(false);
        for (const auto& child : element->elements())
            pending.emplace_back(child, id != 0 ? id : holder);
    }
}

} // namespace

SceneVisibility::SceneVisibility(QObject* parent)
    : QObject(parent)
{
}

const QStringList& SceneVisibility::Kinds()
{
    static const QStringList kinds{QStringLiteral("robots"), QStringLiteral("tools"),  QStringLiteral("devices"),
                                   QStringLiteral("parts"),  QStringLiteral("frames"), QStringLiteral("paths"),
                                   QStringLiteral("targets"), QStringLiteral("grid")};
    return kinds;
}

QStringList SceneVisibility::hiddenKinds() const
{
    QStringList out;
    for (const QString& kind : Kinds())
        if (kinds.count(kind))
            out.append(kind);
    return out;
}

QVariantList SceneVisibility::hiddenObjects() const
{
    QVariantList out;
    for (const std::uint32_t id : objects)
        out.append(static_cast<uint>(id));
    return out;
}

bool SceneVisibility::setKindShown(const QString& kind, bool shown)
{
    if (!Kinds().contains(kind))
        return false;
    const bool changes = shown ? kinds.erase(kind) != 0 : kinds.insert(kind).second;
    if (changes)
        emit changed();
    return true;
}

void SceneVisibility::setObjectShown(uint id, bool shown)
{
    if (id == 0)
        return;
    const bool changes = shown ? objects.erase(id) != 0 : objects.insert(id).second;
    if (changes)
        emit changed();
}

void SceneVisibility::showAll()
{
    if (!anyHidden())
        return;
    kinds.clear();
    objects.clear();
    emit changed();
}

std::unordered_set<std::uint32_t> SceneVisibility::hiddenIn(const cell::CellLayout& layout) const
{
    std::unordered_set<std::uint32_t> out;
    const ElementPtr& root = layout.root();
    const ElementPtr station = !root ? nullptr : root->label() == "station" ? root : root->get("station");
    if (!station || (kinds.empty() && objects.empty()))
        return out;

    // Kinds: whole robots, tools, devices and parts with all they hold; the
    // triads of frames and work objects; program lines and their targets.
    const bool frames = kinds.count(QStringLiteral("frames")) != 0;
    const bool paths = kinds.count(QStringLiteral("paths")) != 0;
    const bool targets = paths || kinds.count(QStringLiteral("targets")) != 0;
    for (const cell::CellLayout::Item& item : layout.items()) {
        if (item.label == "target" ? targets : frames && item.shape == cell::CellLayout::Shape::Triad)
            out.insert(item.object);
    }
    if (paths)
        for (const cell::CellLayout::Path& path : layout.paths())
            out.insert(path.id);
    for (const auto& top : station->elements()) {
        if (top->getId(false) == 0 || !kinds.count(KindOfObject(top->label())))
            continue;
        out.insert(top->getId(false));
        Walk(top, [&](const sdf::Element& element, std::uint32_t) {
            if (const std::uint32_t id = element.getId(false))
                out.insert(id);
        });
    }

    // Objects: each with what is nested in it and what names it as parent.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> below;
    if (!objects.empty()) {
        Walk(station, [&](const sdf::Element& element, std::uint32_t holder) {
            const std::uint32_t id = element.getId(false);
            if (id == 0)
                return;
            below[holder].push_back(id);
            if (const std::uint32_t parent = ParentOf(element); parent != 0 && parent != holder)
                below[parent].push_back(id);
        });
    }
    std::vector<std::uint32_t> pending(objects.begin(), objects.end());
    std::unordered_set<std::uint32_t> seen;
    while (!pending.empty()) {
        const std::uint32_t id = pending.back();
        pending.pop_back();
        if (!seen.insert(id).second)
            continue;
        out.insert(id);
        if (const auto it = below.find(id); it != below.end())
            pending.insert(pending.end(), it->second.begin(), it->second.end());
    }
    return out;
}

} // namespace zrv::core
