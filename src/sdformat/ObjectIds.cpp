#include "sdformat/ObjectIds.h"

#include "sdformat/ObjectFields.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <utility>
#include <vector>

namespace sdf {

namespace {

constexpr unsigned int kLast = std::numeric_limits<unsigned int>::max();

} // namespace

const ElementTemplate* TemplateOf(const Element& element)
{
    std::vector<const Element*> chain;
    for (const Element* at = &element; at;) {
        chain.push_back(at);
        const std::shared_ptr<Element> parent = at->parent();
        at = parent.get();
    }
    try {
        const ElementTemplate* templ = &RootTemplate();
        if (chain.back()->label() != templ->_name)
            return nullptr;
        for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it)
            templ = &templ->child((*it)->label());
        return templ;
    } catch (const std::logic_error&) {
        return nullptr;
    }
}

bool IsObject(const Element& element)
{
    const ElementTemplate* templ = TemplateOf(element);
    return templ && IsObjectTemplate(*templ);
}

const Element& RootOf(const Element& element)
{
    const Element* at = &element;
    while (const std::shared_ptr<Element> parent = at->parent())
        at = parent.get();
    return *at;
}

std::set<unsigned int> ObjectIdsBelow(const Element& element)
{
    std::set<unsigned int> ids;
    const ElementTemplate* top = TemplateOf(element);
    if (!top)
        return ids;
    std::vector<std::pair<const Element*, const ElementTemplate*>> pending{{&element, top}};
    while (!pending.empty()) {
        const auto [at, templ] = pending.back();
        pending.pop_back();
        if (IsObjectTemplate(*templ) && at->getId(false) != 0)
            ids.insert(at->getId(false));
        for (const auto& child : at->elements())
            pending.emplace_back(child.get(), &templ->child(child->label()));
    }
    return ids;
}

bool HasObjectId(const Element& root, unsigned int id)
{
    bool found = false;
    WalkTree(root, [&](const TreeVisit& v) {
        if (!found && IsObjectTemplate(v.templ) && v.element.getId(false) == id)
            found = true;
    });
    return found;
}

FreshObjectIds::FreshObjectIds(const Element& root)
{
    unsigned int largest = 0;
    WalkTree(root, [&](const TreeVisit& v) {
        if (IsObjectTemplate(v.templ))
            largest = std::max(largest, v.element.getId(false));
    });
    _exhausted = largest == kLast;
    _next = _exhausted ? kLast : largest + 1;
    if (const auto station = root.get("station"); station && station->exists("next_dataid"))
        _next = std::max(_next, station->valueOr<unsigned int>("next_dataid", 0u));
}

unsigned int FreshObjectIds::take()
{
    if (_exhausted)
        throw std::runtime_error(fmt::format("no object id is left above {}", kLast));
    _taken = true;
    const unsigned int id = _next;
    if (_next == kLast)
        _exhausted = true;
    else
        ++_next;
    return id;
}

void FreshObjectIds::give(Element& element)
{
    const ElementTemplate* top = TemplateOf(element);
    ZRV_ASSERT(top, "TemplateOf(element)", "src/sdformat/ObjectIds");
    if (top)
        give(element, *top);
}

void FreshObjectIds::give(Element& element, const ElementTemplate& top)
{
    std::vector<std::pair<Element*, const ElementTemplate*>> pending{{&element, &top}};
    while (!pending.empty()) {
        const auto [at, templ] = pending.back();
        pending.pop_back();
        if (IsObjectTemplate(*templ) && at->getId(false) == 0)
            at->setId(take());
        for (auto child = at->elements().rbegin(); child != at->elements().rend(); ++child)
            pending.emplace_back(child->get(), &templ->child((*child)->label()));
    }
}

void FreshObjectIds::record(Element& root) const
{
    const auto station = root.get("station");
    if (!_taken || !station || _exhausted)
        return;
    station->set<unsigned int>("next_dataid", _next);
}

} // namespace sdf
