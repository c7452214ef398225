#pragma once

// A node with an ordered list of child object ids. Children added together
// with a document element (the `child` element that records the id in this
// container's element) are remembered in `references`, so that removing or
// moving them is carried into the document. The list and a child's object
// parent are separate facts that the client keeps in agreement: hasObjChild
// and hasDescendant answer from the children's parent links, the list
// operations from the list.
//
// Each container has one mutex for its list and references. Document edits
// are made outside it. Lock order: the registry before the container (see
// SdfManager::EraseAllChildren); operations that resolve children through
// the registry take the registry's lock first and never wait for it while
// holding the container's mutex.

#include <sdformat/Export.h>
#include <sdformat/SdfNode.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace sdf {

class SdfManager;

class SDF_EXPORT SdfContainer : public SdfNode
{
public:
    using IdList = std::vector<std::uint32_t>;

    SdfContainer(const SdfContainer&) = delete;
    SdfContainer& operator=(const SdfContainer&) = delete;
    // Neither unregisters nor deletes the children.
    ~SdfContainer() override;

    // Whether the object id names this container as its object parent,
    // listed or not. std::out_of_range when id is not registered.
    bool hasObjChild(std::uint32_t id);
    // Whether this container is up the object id's chain of object parents.
    bool hasDescendant(std::uint32_t id) const;

    // The listed children's objects, in list order (null for an empty
    // registry entry). std::out_of_range when one is not registered.
    std::vector<SdfObject*> getChildren() const;
    // The list itself, read without the lock: keep writers away meanwhile.
    const IdList& getObjChildren() const { return objChildren; }
    // The listed ids, in order, whose objects belong to the kind group.
    IdList getObjChildren(ObjectType group) const;
    // Position of the first occurrence. Precondition: id is listed.
    std::uint64_t getChildIndex(std::uint32_t id) const;

    // The list only; the document and references are left alone.
    void addObjChild(std::uint32_t id);
    // Inserts before index; index equal to the length appends.
    void addObjChild(std::uint32_t id, std::uint32_t index);
    // Adopts an existing `child` element of this container's element: lists
    // its id and remembers the element (the first element of an id stays).
    void addObjChild(std::shared_ptr<Element> childElement);
    // Writes a new `child` element at the end, then lists and remembers it.
    void addObjChildWithSdf(std::uint32_t id);
    // Writes a new `child` element before the index-th one (at the very end
    // of the element when index equals their number), then lists it before
    // index and remembers it.
    void addObjChildWithSdf(std::uint32_t id, std::uint32_t index);
    // Every occurrence, from the list only.
    void removeObjChild(std::uint32_t id);
    // Every occurrence from the list, then the remembered `child` element
    // from the document. Precondition: id was added with its element.
    void removeObjChildWithSdf(std::uint32_t id);
    // Takes every occurrence out of the list and puts the id back before
    // index of the shortened list, then moves its `child` element to the same
    // place among the `child` elements. Precondition: id was added with its
    // element and index is at most the length of the shortened list.
    virtual void moveChild(std::uint32_t id, std::uint32_t index);

protected:
    SdfContainer(std::shared_ptr<Element> element, ObjectType type);

private:
    friend class SdfManager;

    // Depth first in list order, each object before its children.
    bool anyOfDescendant(const Predicate& predicate, bool includeSelf) const override;

    using References = std::unordered_map<std::uint32_t, std::shared_ptr<Element>>;
    // The remembered child element of object id; the mutex must be held.
    // A precondition in Debug builds, std::logic_error otherwise.
    References::iterator rememberedElement(std::uint32_t id);

    IdList objChildren;
    References references;
    mutable std::mutex _mutex;
};

} // namespace sdf
