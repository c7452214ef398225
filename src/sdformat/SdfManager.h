#pragma once

// The process-wide registry of live station objects, by id, and the two id
// counters. Objects refer to each other by id only and resolve ids here when
// they need the object.
//
// The registry does not own what it holds: Register and Remove neither copy
// nor delete, destroying an object does not unregister it, and the registry
// deletes nothing when the process ends. The one exception is
// EraseAllChildren, which unregisters and deletes the children of a container.
//
// Locking: lookups take the reader-writer lock shared, changes take it
// exclusive. The lock is released before a found object is used, so callers
// that remove objects on one thread and use them on another must order the
// objects' lifetimes themselves.

#include <sdformat/Export.h>
#include <sdformat/FilterView.h>
#include <sdformat/ObjectType.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <mutex>
#include <ranges>
#include <shared_mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace sdf {

class SdfObject;
class SdfContainer;

class SDF_EXPORT SdfManager
{
public:
    using ObjectMap = std::unordered_map<std::uint32_t, SdfObject*>;

    // Keeps the registry's entries whose object is of exactly one kind (not
    // its group); entries without an object are not kept.
    struct OfKind
    {
        ObjectType type{};
        bool operator()(const ObjectMap::value_type& entry) const { return IsOfKind(entry.second, type); }
    };
    // Those entries as a lazy view of (id, object) pairs in the map's order
    // (see FilterView): each iteration reads the map as it is then.
    using ObjectsView = FilterView<ObjectMap, OfKind>;

    SdfManager(const SdfManager&) = delete;
    SdfManager& operator=(const SdfManager&) = delete;

    // The single instance, created on first use.
    static SdfManager* inst();

    // Data ids are stored in documents and count upward from the value last
    // given to SetNextId (0 if it was never called). Returns the id before
    // the increment.
    static std::uint32_t GenerateNextId();
    // Transient ids live in memory only and count downward from 4294967294.
    static std::uint32_t GenerateTransientId();
    // The next GenerateNextId returns id.
    static void SetNextId(std::uint32_t id);

    // Enters object under its own id (SdfObject::getId). Never replaces
    // another object: returns false, leaving the registry unchanged, when a
    // different object is registered under that id. Registering the same
    // object again, or filling an entry that holds no object, returns true.
    static bool Register(SdfObject* object);
    // As above under an explicit id, which must be the object's own id. A null
    // object enters an empty entry: it reads as absent (Contains is false,
    // Get yields null) but can be removed, and a later Register fills it.
    static bool Register(std::uint32_t id, SdfObject* object);

    // True when id has an entry that holds an object.
    static bool Contains(std::uint32_t id);
    // Number of entries, empty ones included.
    static std::size_t Size();

    // The object registered under id, converted to T by a run-time type test:
    // null when the object is not a T or the entry holds no object.
    // std::out_of_range when id has no entry.
    template <class T>
    static T* Get(std::uint32_t id)
    {
        static_assert(std::is_base_of_v<SdfObject, T>, "the registry holds station objects");
        SdfObject* object;
        {
            std::shared_lock lock(inst()->_mutex);
            object = inst()->at(id);
        }
        if constexpr (std::is_same_v<T, SdfObject>)
            return object;
        else
            return dynamic_cast<T*>(object);
    }

    // Unregisters id without deleting its object. Precondition: id has an
    // entry (an empty one counts).
    static void Remove(std::uint32_t id);

    // Unregisters and deletes every direct child of the container id; their
    // own children stay registered and the document is not touched. Nothing
    // happens when id is not a container. std::out_of_range, with nothing
    // changed, when id or one of the listed child ids has no entry.
    static void EraseAllChildren(std::uint32_t id);

    // The registered objects of one kind, as a lazy view of (id, object)
    // pairs in the map's order. It reads the map without the lock: do not
    // iterate it while another thread changes the registry.
    ObjectsView getObjects(ObjectType type) const { return ObjectsView(mobjs, OfKind{type}); }

private:
    friend class SdfObject;
    friend class SdfContainer;

    SdfManager() = default;
    ~SdfManager() = default;

    // Whether there is an object and it is of that kind.
    static bool IsOfKind(const SdfObject* object, ObjectType type);
    // The entry's object (possibly null); std::out_of_range without entry.
    // The caller holds the lock.
    SdfObject* at(std::uint32_t id) const;
    // The entry's object, or null without entry; takes the lock shared.
    static SdfObject* Find(std::uint32_t id);

    ObjectMap mobjs;
    mutable std::shared_mutex _mutex;

    static std::atomic<std::uint32_t> nextDataId;
    static std::atomic<std::uint32_t> nextTransientId;
};

} // namespace sdf
