#include "sdformat/ObjectRemoval.h"

#include "sdformat/ObjectFields.h"
#include "sdformat/ObjectIds.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <set>
#include <typeinfo>

namespace sdf {

namespace {

bool Within(const Element& element, const Element& top)
{
    for (const Element* at = &element; at;) {
        if (at == &top)
            return true;
        const std::shared_ptr<Element> parent = at->parent();
        at = parent.get();
    }
    return false;
}

// Every id-holding element outside object naming an object at or below it;
// child list entries apart.
void Collect(const Element& object, std::vector<ObjectRemoval::Reference>* references,
             std::vector<std::shared_ptr<Element>>* listings)
{
    const std::set<unsigned int> ids = ObjectIdsBelow(object);
    WalkTree(RootOf(object), [&](const TreeVisit& v) {
        if (!v.element.hasValue() || !IsIdReference(v.templ, v.parentTempl) || Within(v.element, object))
            return;
        // A value the document gave another type names nothing.
        Element& holder = const_cast<Element&>(v.element);
        if (holder.type_info() != typeid(unsigned int))
            return;
        const unsigned int id = holder.asUInt();
        if (id == 0 || !ids.contains(id))
            return;
        // The walk hands out references; the element's parent owns it.
        const std::shared_ptr<Element> parent = v.element.parent();
        std::shared_ptr<Element> held;
        for (const auto& child : parent->elements())
            if (child.get() == &v.element)
                held = child;
        const bool listing = v.templ._name == "child" && v.parentTempl && IsObjectTemplate(*v.parentTempl);
        if (listing)
            listings->push_back(held);
        else
            references->push_back({held, std::string(v.path), id});
    });
}

} // namespace

std::vector<ObjectRemoval::Reference> ObjectRemoval::References(const Element& object)
{
    ZRV_ASSERT(IsObject(object), "IsObject(object)", "src/sdformat/ObjectRemoval");
    std::vector<Reference> references;
    std::vector<std::shared_ptr<Element>> listings;
    Collect(object, &references, &listings);
    return references;
}

std::vector<ObjectRemoval::Reference> ObjectRemoval::Remove(const std::shared_ptr<Element>& object, Dangling dangling)
{
    ZRV_ASSERT(object && IsObject(*object), "object && IsObject(*object)", "src/sdformat/ObjectRemoval");
    std::vector<Reference> references;
    std::vector<std::shared_ptr<Element>> listings;
    Collect(*object, &references, &listings);
    for (const std::shared_ptr<Element>& listing : listings)
        listing->removeFromParent();
    if (dangling == Dangling::Clear) {
        for (const Reference& reference : references)
            reference.element->setValue<unsigned int>(0u);
    }
    object->removeFromParent();
    return references;
}

} // namespace sdf
