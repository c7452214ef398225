#include <sdformat/SdfManager.h>

#include <common/ZrvAssert.h>
#include <sdformat/SdfContainer.h>
#include <sdformat/SdfObject.h>

#include <fmt/format.h>

#include <limits>
#include <stdexcept>
#include <vector>

namespace sdf {

std::atomic<std::uint32_t> SdfManager::nextDataId{0};
std::atomic<std::uint32_t> SdfManager::nextTransientId{std::numeric_limits<std::uint32_t>::max()};

bool SdfManager::IsOfKind(const SdfObject* object, ObjectType type)
{
    return object && object->isType(type);
}

SdfManager* SdfManager::inst()
{
    static SdfManager instance;
    return &instance;
}

std::uint32_t SdfManager::GenerateNextId()
{
    return nextDataId.fetch_add(1);
}

std::uint32_t SdfManager::GenerateTransientId()
{
    return nextTransientId.fetch_sub(1) - 1;
}

void SdfManager::SetNextId(std::uint32_t id)
{
    nextDataId.store(id);
}

bool SdfManager::Register(SdfObject* object)
{
    ZRV_ASSERT(object, "object", "src/sdformat/SdfManager");
    if (!object)
        return false;
    return Register(object->getId(), object);
}

bool SdfManager::Register(std::uint32_t id, SdfObject* object)
{
    ZRV_ASSERT(!object || object->getId() == id, "!object || object->getId() == id", "src/sdformat/SdfManager");
    if (object && object->getId() != id)
        return false;
    SdfManager* self = inst();
    std::unique_lock lock(self->_mutex);
    auto [entry, inserted] = self->mobjs.try_emplace(id, object);
    if (inserted || entry->second == object)
        return true;
    if (entry->second)
        return false;
    entry->second = object;
    return true;
}

bool SdfManager::Contains(std::uint32_t id)
{
    return Find(id) != nullptr;
}

void SdfManager::Remove(std::uint32_t id)
{
    SdfManager* self = inst();
    std::unique_lock lock(self->_mutex);
    const auto entry = self->mobjs.find(id);
    ZRV_ASSERT(entry != self->mobjs.end(), "mobjs.contains(id)", "src/sdformat/SdfManager");
    if (entry != self->mobjs.end())
        self->mobjs.erase(entry);
}

// Lock order: the registry's lock is always taken before a container's
// mutex, never the other way round. Here the registry is held exclusive while
// the container's list is emptied; the container's readers that resolve
// children (getChildren, getObjChildren(type)) take the registry shared
// first and then their own mutex. No thread ever holds a container's mutex
// while it waits for the registry, so the two cannot block each other, and a
// reader sees either all children or none of them.
void SdfManager::EraseAllChildren(std::uint32_t id)
{
    SdfManager* self = inst();
    std::vector<SdfObject*> erased;
    {
        std::unique_lock registryLock(self->_mutex);
        auto* container = dynamic_cast<SdfContainer*>(self->at(id));
        if (!container)
            return;
        std::lock_guard containerLock(container->_mutex);
        auto& children = container->objChildren;
        // Check first, so that an unknown id leaves registry and list whole
        // instead of orphaning the objects unregistered before it.
        for (const std::uint32_t child : children)
            self->at(child);
        erased.reserve(children.size());
        for (const std::uint32_t child : children) {
            const auto entry = self->mobjs.find(child);
            if (entry == self->mobjs.end())
                continue; // listed twice: erased at its first occurrence
            erased.push_back(entry->second);
            self->mobjs.erase(entry);
        }
        children.clear();
    }
    // Deleted outside the locks, in the order they were listed.
    for (SdfObject* object : erased)
        delete object;
}

SdfObject* SdfManager::at(std::uint32_t id) const
{
    const auto entry = mobjs.find(id);
    if (entry == mobjs.end())
        throw std::out_of_range(fmt::format("no object is registered with id {}", id));
    return entry->second;
}

SdfObject* SdfManager::Find(std::uint32_t id)
{
    SdfManager* self = inst();
    std::shared_lock lock(self->_mutex);
    const auto entry = self->mobjs.find(id);
    return entry == self->mobjs.end() ? nullptr : entry->second;
}

std::size_t SdfManager::Size()
{
    SdfManager* self = inst();
    std::shared_lock lock(self->_mutex);
    return self->mobjs.size();
}

} // namespace sdf
