#include <sdformat/SdfContainer.h>

#include <common/ZrvAssert.h>
#include <sdformat/Element.h>
#include <sdformat/SdfManager.h>

#include <fmt/format.h>

#include <algorithm>
#include <shared_mutex>
#include <stdexcept>

namespace sdf {

namespace {

constexpr const char* Source = "src/sdformat/SdfContainer";

[[noreturn]] void ThrowNotRemembered(std::uint32_t container, std::uint32_t child)
{
    throw std::logic_error(fmt::format("container {} has no child element for object {}", container, child));
}

[[noreturn]] void ThrowIndexBeyond(std::uint32_t container, std::uint32_t index)
{
    throw std::out_of_range(fmt::format("index {} is beyond the children of container {}", index, container));
}

// Child lists come from documents and may loop. Each search remembers the
// containers it is inside (innermost last); meeting one of them again means
// it went round a loop. A predicate may start a search of its own, which
// must not see the outer one's containers, so the path is handed from a
// container to the child it is about to search and taken by that child
// alone, on entry; anything the predicate starts finds no hand-over.
using SearchPath = std::vector<const SdfContainer*>;

struct HandOver
{
    SearchPath* path = nullptr;
    const SdfObject* to = nullptr;
};

thread_local HandOver handOver;

// Passes the search on to one child for the duration of its call.
struct HandOverTo
{
    HandOverTo(SearchPath& path, const SdfObject* child) { handOver = {&path, child}; }
    ~HandOverTo() { handOver = {}; }
    HandOverTo(const HandOverTo&) = delete;
    HandOverTo& operator=(const HandOverTo&) = delete;
};

// Enters a container into its search's path while its children are searched.
struct PathEntry
{
    PathEntry(SearchPath& path, const SdfContainer* container) : path(path) { path.push_back(container); }
    ~PathEntry() { path.pop_back(); }
    PathEntry(const PathEntry&) = delete;
    PathEntry& operator=(const PathEntry&) = delete;
    SearchPath& path;
};

} // namespace

SdfContainer::SdfContainer(std::shared_ptr<Element> element, ObjectType type) : SdfNode(std::move(element), type) {}

SdfContainer::~SdfContainer() = default;

bool SdfContainer::hasObjChild(std::uint32_t id)
{
    SdfObject* object = SdfManager::Get<SdfObject>(id);
    return object && object->isChildOf(getId());
}

bool SdfContainer::hasDescendant(std::uint32_t id) const
{
    const SdfObject* object = SdfManager::Get<SdfObject>(id);
    return object && object->isDescendantOf(getId());
}

// Registry first, then this container: the order EraseAllChildren uses.
std::vector<SdfObject*> SdfContainer::getChildren() const
{
    SdfManager* registry = SdfManager::inst();
    std::shared_lock registryLock(registry->_mutex);
    std::lock_guard lock(_mutex);
    std::vector<SdfObject*> children;
    children.reserve(objChildren.size());
    for (const std::uint32_t id : objChildren)
        children.push_back(registry->at(id));
    return children;
}

// Registry first, then this container: the order EraseAllChildren uses.
SdfContainer::IdList SdfContainer::getObjChildren(ObjectType group) const
{
    SdfManager* registry = SdfManager::inst();
    std::shared_lock registryLock(registry->_mutex);
    std::lock_guard lock(_mutex);
    IdList ids;
    for (const std::uint32_t id : objChildren) {
        const SdfObject* object = registry->at(id);
        if (object && object->asType(group))
            ids.push_back(id);
    }
    return ids;
}

std::uint64_t SdfContainer::getChildIndex(std::uint32_t id) const
{
    std::lock_guard lock(_mutex);
    const auto at = std::find(objChildren.begin(), objChildren.end(), id);
    ZRV_ASSERT(at != objChildren.end(), "id is listed", Source);
    if (at == objChildren.end())
        throw std::logic_error(fmt::format("object {} is not listed by container {}", id, getId()));
    return static_cast<std::uint64_t>(at - objChildren.begin());
}

void SdfContainer::addObjChild(std::uint32_t id)
{
    std::lock_guard lock(_mutex);
    objChildren.push_back(id);
}

void SdfContainer::addObjChild(std::uint32_t id, std::uint32_t index)
{
    std::lock_guard lock(_mutex);
    ZRV_ASSERT(index <= objChildren.size(), "index <= objChildren.size()", Source);
    if (index > objChildren.size())
        ThrowIndexBeyond(getId(), index);
    objChildren.insert(objChildren.begin() + index, id);
}

void SdfContainer::addObjChild(std::shared_ptr<Element> childElement)
{
    const std::uint32_t id = childElement->asUInt();
    std::lock_guard lock(_mutex);
    objChildren.push_back(id);
    references.try_emplace(id, std::move(childElement));
}

void SdfContainer::addObjChildWithSdf(std::uint32_t id)
{
    const std::shared_ptr<Element> childElement = getElement()->append("child");
    childElement->setValue<unsigned int>(id);
    addObjChild(childElement);
}

void SdfContainer::addObjChildWithSdf(std::uint32_t id, std::uint32_t index)
{
    // The list's bound is checked before the document changes, so that a bad
    // index leaves both as they were.
    {
        std::lock_guard lock(_mutex);
        ZRV_ASSERT(index <= objChildren.size(), "index <= objChildren.size()", Source);
        if (index > objChildren.size())
            ThrowIndexBeyond(getId(), index);
    }
    std::shared_ptr<Element> childElement = getElement()->InsertElement(index, "child");
    childElement->setValue<unsigned int>(id);
    std::lock_guard lock(_mutex);
    const auto at = std::min<std::size_t>(index, objChildren.size());
    objChildren.insert(objChildren.begin() + static_cast<std::ptrdiff_t>(at), id);
    references.try_emplace(id, std::move(childElement));
}

void SdfContainer::removeObjChild(std::uint32_t id)
{
    std::lock_guard lock(_mutex);
    std::erase(objChildren, id);
}

SdfContainer::References::iterator SdfContainer::rememberedElement(std::uint32_t id)
{
    const auto reference = references.find(id);
    ZRV_ASSERT(reference != references.end(), "references.contains(id)", Source);
    if (reference == references.end())
        ThrowNotRemembered(getId(), id);
    return reference;
}

void SdfContainer::removeObjChildWithSdf(std::uint32_t id)
{
    std::shared_ptr<Element> childElement;
    {
        std::lock_guard lock(_mutex);
        const auto reference = rememberedElement(id);
        std::erase(objChildren, id);
        childElement = std::move(reference->second);
        references.erase(reference);
    }
    childElement->removeFromParent();
}

void SdfContainer::moveChild(std::uint32_t id, std::uint32_t index)
{
    std::shared_ptr<Element> childElement;
    {
        std::lock_guard lock(_mutex);
        const auto reference = rememberedElement(id);
        const auto others = objChildren.size() - static_cast<std::size_t>(std::count(objChildren.begin(), objChildren.end(), id));
        ZRV_ASSERT(index <= others, "index <= shortened objChildren.size()", Source);
        if (index > others)
            ThrowIndexBeyond(getId(), index);
        std::erase(objChildren, id);
        objChildren.insert(objChildren.begin() + index, id);
        childElement = reference->second;
    }
    getElement()->MoveElement(childElement, index);
}

bool SdfContainer::anyOfDescendant(const Predicate& predicate, bool includeSelf) const
{
    // Only the call its parent container made for this very object continues
    // that search; any other call starts a search of its own.
    SearchPath* inherited = handOver.to == this ? handOver.path : nullptr;
    handOver = {};
    SearchPath own;
    SearchPath& path = inherited ? *inherited : own;

    if (includeSelf && predicate(this))
        return true;
    if (std::find(path.begin(), path.end(), this) != path.end())
        return false;
    const PathEntry entry(path, this);
    // A copy taken under the lock: the search itself runs without it.
    for (const SdfObject* child : getChildren()) {
        if (!child)
            continue;
        const HandOverTo next(path, child);
        if (child->anyOfDescendant(predicate, true))
            return true;
    }
    return false;
}

} // namespace sdf
