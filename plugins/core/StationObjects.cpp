#include "StationObjects.h"

#include "ObjectKinds.h"

#include <sdformat/Element.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfManager.h>
#include <sdformat/SdfNode.h>

#include <fmt/format.h>

#include <algorithm>
#include <any>
#include <utility>

namespace zrv::core {

namespace {

class StationNode : public sdf::SdfNode
{
public:
    StationNode(std::shared_ptr<sdf::Element> element, sdf::ObjectType type) : SdfNode(std::move(element), type) {}
};

class StationContainer : public sdf::SdfContainer
{
public:
    StationContainer(std::shared_ptr<sdf::Element> element, sdf::ObjectType type)
        : SdfContainer(std::move(element), type)
    {
    }
};

// The stored object parent, or `fallback` without a `parent` element. A
// value of another type than the catalogue's is no parent either.
std::uint32_t StoredParent(const sdf::Element& element, std::uint32_t fallback)
{
    try {
        return element.valueOr<unsigned int>("parent", fallback);
    } catch (const std::bad_any_cast&) {
        return fallback;
    }
}

} // namespace

StationObjects::StationObjects(const std::shared_ptr<sdf::Element>& root)
{
    if (root)
        collect(root, 0, nullptr);
    registerAll();
}

std::unique_ptr<StationObjects> StationObjects::Prepare(const std::shared_ptr<sdf::Element>& root,
                                                         const std::atomic<bool>* cancel)
{
    std::unique_ptr<StationObjects> prepared(new StationObjects);
    if (root && !prepared->collect(root, 0, cancel))
        return nullptr;
    return prepared;
}

void StationObjects::registerAll()
{
    registerSome(list.size());
}

bool StationObjects::registerSome(std::size_t count)
{
    if (arranged)
        return true;
    const std::size_t end = std::min(list.size(), registeredUpTo + count);
    for (; registeredUpTo < end; ++registeredUpTo) {
        Entry& entry = list[registeredUpTo];
        sdf::SdfObject& object = *entry.object;
        entry.registered = sdf::SdfManager::Register(&object);
        if (!entry.registered) {
            problems.push_back(fmt::format("{} '{}' has id {}, which another object has already; it is not registered",
                                           object.getElement()->label(), object.getDisplayString(), object.getId()));
        } else if (auto* container = dynamic_cast<sdf::SdfContainer*>(&object)) {
            for (const std::shared_ptr<sdf::Element>& child : object.getElement()->children("child"))
                container->addObjChild(child);
        }
    }
    if (registeredUpTo < list.size())
        return false;
    arrange();
    arranged = true;
    return true;
}

StationObjects::~StationObjects()
{
    for (const Entry& entry : list) {
        const std::uint32_t id = entry.object->getId();
        if (entry.registered && sdf::SdfManager::Contains(id) &&
            sdf::SdfManager::Get<sdf::SdfObject>(id) == entry.object.get())
            sdf::SdfManager::Remove(id);
    }
}

bool StationObjects::collect(const std::shared_ptr<sdf::Element>& element, std::uint32_t enclosingId,
                             const std::atomic<bool>* cancel)
{
    // Depth first in document order with a stack of its own: elements may
    // nest deeper than the call stack reaches.
    struct Pending
    {
        std::shared_ptr<sdf::Element> element;
        std::uint32_t enclosing;
    };
    std::vector<Pending> stack{{element, enclosingId}};
    while (!stack.empty()) {
        Pending at = std::move(stack.back());
        stack.pop_back();
        std::uint32_t inner = at.enclosing;
        if (IsObjectElement(*at.element)) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            add(at.element, at.enclosing);
            inner = at.element->getId();
        }
        const auto& children = at.element->elements();
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, inner});
    }
    return true;
}

void StationObjects::add(const std::shared_ptr<sdf::Element>& element, std::uint32_t enclosingId)
{
    const sdf::ObjectType kind = KindOf(element->label());
    Entry entry;
    if (element->exists("child")) {
        entry.object = std::make_unique<StationContainer>(element, kind);
    } else if (element->exists("pose")) {
        entry.object = std::make_unique<StationNode>(element, kind);
    } else {
        entry.object = std::make_unique<sdf::SdfObject>(element, kind);
    }
    sdf::SdfObject& object = *entry.object;
    // The object model keeps 9999 for a parent not yet assigned and will not
    // hand it out, yet a document may well have an object with that id: the
    // tree goes by the stored number.
    entry.parentId = StoredParent(*element, enclosingId);
    if (entry.parentId == sdf::SdfObject::UnassignedParent)
        object.setObjParentAsDefault();
    else
        object.setObjParent(entry.parentId);
    byId.try_emplace(object.getId(), list.size());
    list.push_back(std::move(entry));
}

void StationObjects::arrange()
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::uint32_t parentId = list[i].parentId;
        const std::size_t parent = parentId == 0 ? NoEntry : find(parentId);
        list[i].parent = parent == i ? NoEntry : parent;
    }
    // Cut loops in the parent chains: walking up from an object must end at
    // a root. Each loop is cut above its first member in document order;
    // every object is walked over once, however long the chains.
    enum : unsigned char { Unseen, OnWalk, Done };
    std::vector<unsigned char> state(list.size(), Unseen);
    std::vector<std::size_t> walk;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::size_t at = i;
        while (at != NoEntry && state[at] == Unseen) {
            state[at] = OnWalk;
            walk.push_back(at);
            at = list[at].parent;
        }
        if (at != NoEntry && state[at] == OnWalk) {
            // The walk met itself: the loop runs from `at` to the walk's end.
            const auto loop = std::find(walk.begin(), walk.end(), at);
            list[*std::min_element(loop, walk.end())].parent = NoEntry;
        }
        for (std::size_t done : walk)
            state[done] = Done;
        walk.clear();
    }

    std::vector<bool> placed(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const auto* container = dynamic_cast<const sdf::SdfContainer*>(list[i].object.get());
        if (!container || !list[i].registered)
            continue;
        for (std::uint32_t childId : container->getObjChildren()) {
            const std::size_t child = find(childId);
            if (child != NoEntry && list[child].parent == i && !placed[child]) {
                list[i].children.push_back(child);
                placed[child] = true;
            }
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (placed[i])
            continue;
        if (list[i].parent == NoEntry)
            rootList.push_back(i);
        else
            list[list[i].parent].children.push_back(i);
    }
}

std::size_t StationObjects::find(std::uint32_t id) const
{
    const auto it = byId.find(id);
    return it == byId.end() ? NoEntry : it->second;
}

std::size_t StationObjects::findElement(const sdf::Element* element) const
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i].object->getElement().get() == element)
            return i;
    }
    return NoEntry;
}

std::size_t StationObjects::findByName(const std::string& name) const
{
    std::vector<std::size_t> stack(rootList.rbegin(), rootList.rend());
    while (!stack.empty()) {
        const std::size_t at = stack.back();
        stack.pop_back();
        if (list[at].object->getDisplayString() == name)
            return at;
        const auto& children = list[at].children;
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return NoEntry;
}

std::size_t StationObjects::depth(std::size_t index) const
{
    std::size_t result = 0;
    for (std::size_t at = list.at(index).parent; at != NoEntry; at = list[at].parent)
        ++result;
    return result;
}

const std::string& StationObjects::KindLabel(const sdf::SdfObject& object)
{
    return object.getElement()->label();
}

} // namespace zrv::core
