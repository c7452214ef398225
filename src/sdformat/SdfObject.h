#pragma once

// An in-memory station object: it views one object element of a document
// (one that carries the common object fields) and adds the object's id, kind,
// cached name and object parent. Objects find each other by id through
// SdfManager. The element stays the store of record for what the object
// writes back (name, object parent, user files); id and name are read once,
// at construction.
//
// An object has no lock of its own and is used by one thread at a time.

#include <sdformat/Export.h>
#include <sdformat/ObjectType.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace sdf {

class Element;
class SdfContainer;

class SDF_EXPORT SdfObject
{
public:
    using Predicate = std::function<bool(const SdfObject*)>;
    // (file name, uri) of one user file.
    using Attachment = std::pair<std::string, std::string>;

    // Marks an object parent that has not been assigned yet.
    static constexpr std::uint32_t UnassignedParent = 9999;

    // Reads the element's id (0 without one) and its name ("" without a
    // `name` child). The object parent starts unassigned; the `parent` child
    // is not read and the object is not registered.
    SdfObject(std::shared_ptr<Element> element, ObjectType type);
    // Copies view the same element and are not registered.
    SdfObject(const SdfObject&) = default;
    SdfObject& operator=(const SdfObject&) = default;
    // Neither unregisters nor touches the document.
    virtual ~SdfObject();

    std::uint32_t getId() const { return id; }
    ObjectType getType() const { return type; }
    const std::shared_ptr<Element>& getElement() const { return element; }

    // ---- kind and name ---------------------------------------------------

    bool isType(ObjectType kind) const { return type == kind; }
    // Whether this object's kind belongs to the group of `group`.
    bool asType(ObjectType group) const { return InGroup(type, group); }

    virtual std::string getDisplayString() const;
    // Writes the name into the element's `name` child and the cache; an
    // element without `name` child is left alone, and so is the cache.
    virtual void setName(std::string name);

    // ---- object parent ---------------------------------------------------
    // Unassigned (9999) after construction, 0 for a top-level object,
    // otherwise the parent's id. The client that builds an object over a
    // stored element assigns it (from the `parent` child, or top level)
    // before asking for parents.

    void setObjParent(std::uint32_t parentId);
    // Also writes the id into the element's `parent` child, creating it.
    void setObjParentWithSdf(std::uint32_t parentId);
    void setObjParentAsDefault();
    std::uint32_t getObjParentId() const;
    // The parent container, or null for a top-level object or a parent that
    // is not a container. std::out_of_range when the parent id is not
    // registered.
    SdfContainer* objectParent() const;
    bool isTopLevel() const;
    bool isStandalone() const;
    bool isChildOf(std::uint32_t parentId);
    // Whether some object up the chain of object parents has that id; the
    // object itself is not compared. std::out_of_range, as objectParent,
    // when the chain meets a parent id that is not registered.
    bool isDescendantOf(std::uint32_t ancestorId) const;
    // Position in the parent container's list of children. Precondition: the
    // parent is a container that lists this object.
    std::uint32_t getIndex() const;

    // ---- library membership ------------------------------------------------

    // Whether the element's `document_type` reads exactly "SystemLibrary" or
    // "UserLibrary".
    bool isConnectedToLibrary() const;
    // False for id 0 and for ids without a registered object.
    static bool IsConnectedToLibrary(std::uint32_t objectId);

    // ---- user files (`user_file` children of the element) -----------------

    // Always appends, even when the file name is there already.
    void addAttachment(const std::string& fileName, const std::string& uri);
    bool hasAttachment(const std::string& fileName) const;
    // In document order.
    std::vector<Attachment> attachments() const;
    // Removes every user file of that name.
    void removeAttachment(const std::string& fileName);

    // ---- traversal ---------------------------------------------------------
    // includeSelf says whether the object the search starts from is tested.

    // Tests the object parents nearest first; stops at the first match.
    // std::out_of_range when the chain meets a parent id that is not
    // registered.
    bool anyOfAncestor(const Predicate& predicate, bool includeSelf) const;
    // A plain object has no descendants; containers search their subtree
    // depth first, each object before its children (std::out_of_range, as
    // SdfContainer::getChildren, for a listed child that is not registered).
    virtual bool anyOfDescendant(const Predicate& predicate, bool includeSelf) const;
    // False for id 0 and for ids without a registered object.
    static bool AnyOfAncestor(std::uint32_t objectId, const Predicate& predicate, bool includeSelf);
    static bool AnyOfDescendant(std::uint32_t objectId, const Predicate& predicate, bool includeSelf);

private:
    bool isChildOf(std::uint32_t parentId) const;

    std::uint32_t id = 0;
    ObjectType type;
    std::string name;
    std::shared_ptr<Element> element;
    std::uint32_t objParentId = UnassignedParent;
};

} // namespace sdf
