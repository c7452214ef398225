#pragma once

// What adding, removing and pasting objects share: the template of an
// element found from the root down, the ids of the objects in a subtree, and
// fresh ids for new objects. Internal to the library (not exported).

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <set>

namespace sdf {

// The template element was made from, found again by labels from the root
// (an element does not hand out its template); nullptr when the chain of
// labels leaves the catalogue or does not start at a document root.
const ElementTemplate* TemplateOf(const Element& element);

// Whether element is an object (its template carries the object fields).
bool IsObject(const Element& element);

// The document root above element (element itself when it has no parent).
const Element& RootOf(const Element& element);

// The ids of the objects at and below element.
std::set<unsigned int> ObjectIdsBelow(const Element& element);

// Whether some object of the document under root has that id.
bool HasObjectId(const Element& root, unsigned int id);

// Ids above every id in use and not below the station's next_dataid, so
// that no new object is left with id 0 or shares an id.
class FreshObjectIds
{
public:
    explicit FreshObjectIds(const Element& root);

    // The next id, taken; std::runtime_error "no object id is left" when
    // every id is used.
    unsigned int take();

    // Gives element and every object below it that has id 0 the next ids,
    // in document order.
    void give(Element& element);
    // The same for an element made from templ, which need not be in a
    // document yet.
    void give(Element& element, const ElementTemplate& templ);

    // Moves the station's next_dataid on past every id taken, if any was.
    void record(Element& root) const;

private:
    unsigned int _next = 0;
    bool _taken = false;
    bool _exhausted = false;
};

} // namespace sdf
