#pragma once

// The station objects of one document, built with the library's object
// model and arranged as a tree for display.
//
// Every object element (see IsObjectElement) gets an object: a container
// when it lists `child` elements (they are adopted, so rearranging children
// later is carried into the document), a node when it has a `pose`, a plain
// object otherwise. Its object parent is the value of its `parent` element;
// an object element without one that sits inside another object's element
// belongs to that object, and one outside every object is top level. The
// objects are registered in SdfManager for as long as this exists. An id
// that is taken already is reported in warnings() and its object stays
// unregistered, but it is still shown.
//
// The tree follows the object parents. A container's children come in the
// order of its list, then any others that name it as parent in document
// order. An object whose parent is not among the objects is a root, and so
// is the first object of a parent chain that loops back on itself.

#include <sdformat/SdfObject.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace sdf {
class Element;
}

namespace zrv::core {

class StationObjects
{
public:
    static constexpr std::size_t NoEntry = static_cast<std::size_t>(-1);

    struct Entry
    {
        std::unique_ptr<sdf::SdfObject> object;
        bool registered = false;
        // The stored object parent's id (the enclosing object's without one).
        std::uint32_t parentId = 0;
        std::size_t parent = NoEntry;
        std::vector<std::size_t> children;
    };

    // Builds the objects under root (the document's root element, or any
    // element of it) and registers them.
    explicit StationObjects(const std::shared_ptr<sdf::Element>& root);

    // Builds the objects without touching the registry, on any thread: the
    // station shown meanwhile keeps its ids registered. registerAll() then
    // does the rest on the thread that owns the registry's users. Null when
    // cancel was set on the way.
    static std::unique_ptr<StationObjects> Prepare(const std::shared_ptr<sdf::Element>& root,
                                                   const std::atomic<bool>* cancel);
    // Registers the prepared objects and arranges the tree.
    void registerAll();
    // The same in steps of at most count objects, so that a window can
    // paint between them; true once all are registered and arranged.
    bool registerSome(std::size_t count);
    std::size_t registeredSoFar() const { return registeredUpTo; }
    // Unregisters the objects it registered.
    ~StationObjects();
    StationObjects(const StationObjects&) = delete;
    StationObjects& operator=(const StationObjects&) = delete;

    // In document order.
    const std::vector<Entry>& entries() const { return list; }
    const Entry& entry(std::size_t index) const { return list.at(index); }
    std::size_t size() const { return list.size(); }
    const std::vector<std::size_t>& roots() const { return rootList; }

    // The entry of the object with that id (the first one when the id is
    // taken twice), or NoEntry.
    std::size_t find(std::uint32_t id) const;
    // The entry whose object views that element, or NoEntry.
    std::size_t findElement(const sdf::Element* element) const;
    // The first entry named so, depth first in tree order, or NoEntry.
    std::size_t findByName(const std::string& name) const;
    // Number of entries from the root down to index, the root being 0.
    std::size_t depth(std::size_t index) const;

    // The element label of the object, which the tree shows as its kind.
    static const std::string& KindLabel(const sdf::SdfObject& object);

    const std::vector<std::string>& warnings() const { return problems; }

private:
    StationObjects() = default;
    // False when cancelled.
    bool collect(const std::shared_ptr<sdf::Element>& element, std::uint32_t enclosingId,
                 const std::atomic<bool>* cancel);
    void add(const std::shared_ptr<sdf::Element>& element, std::uint32_t enclosingId);
    void arrange();

    std::vector<Entry> list;
    std::vector<std::size_t> rootList;
    std::unordered_map<std::uint32_t, std::size_t> byId;
    std::vector<std::string> problems;
    std::size_t registeredUpTo = 0;
    bool arranged = false;
};

} // namespace zrv::core
