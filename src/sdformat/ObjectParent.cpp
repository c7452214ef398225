#include "sdformat/ObjectParent.h"

#include "sdformat/ObjectFields.h"
#include "sdformat/ObjectIds.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <typeinfo>
#include <vector>

namespace sdf {

namespace {

unsigned int IdValue(const Element& element)
{
    Element& held = const_cast<Element&>(element);
    return held.hasValue() && held.type_info() == typeid(unsigned int) ? held.asUInt() : 0u;
}

} // namespace

void ObjectParent::Set(Element& object, unsigned int parentId)
{
    ZRV_ASSERT(IsObject(object), "IsObject(object)", "src/sdformat/ObjectParent");
    const unsigned int id = object.getId(false);
    // Every object by id, and each one's parent, to find the new parent and
    // to keep the chain of parents from coming back to the object.
    std::map<unsigned int, Element*> byId;
    std::map<unsigned int, unsigned int> parentOf;
    std::vector<Element*> listings;
    WalkTree(RootOf(object), [&](const TreeVisit& v) {
        Element& at = const_cast<Element&>(v.element);
        if (IsObjectTemplate(v.templ) && at.getId(false) != 0) {
            byId.try_emplace(at.getId(false), &at);
            if (const auto parent = at.get("parent"))
                parentOf.try_emplace(at.getId(false), IdValue(*parent));
        }
        if (v.templ._name == "child" && v.parentTempl && IsObjectTemplate(*v.parentTempl) && IdValue(at) == id)
            listings.push_back(&at);
    });
    Element* parent = nullptr;
    if (parentId != 0) {
        const auto it = byId.find(parentId);
        if (it == byId.end())
            throw std::invalid_argument(fmt::format("no object has id {}", parentId));
        parent = it->second;
        std::set<unsigned int> seen;
        for (unsigned int at = parentId; at != 0 && seen.insert(at).second;) {
            if (at == id)
                throw std::invalid_argument(
                    fmt::format("object {} can not be its own parent, nor that of an object above it", id));
            const auto up = parentOf.find(at);
            at = up == parentOf.end() ? 0u : up->second;
        }
    }
    for (Element* listing : listings)
        listing->removeFromParent();
    object.set<unsigned int>("parent", parentId);
    if (parent)
        parent->append("child")->setValue<unsigned int>(id);
}

} // namespace sdf
