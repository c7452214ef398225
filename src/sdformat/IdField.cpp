#include "IdField.h"

#include "Element.h"
#include "ElementTemplate.h"
#include "ObjectFields.h"

#include <stdexcept>
#include <vector>

namespace sdf {

bool HoldsObjectId(const Element& element)
{
    // The element's template, found again from the root down by labels: an
    // element does not hand out its template.
    std::vector<const Element*> chain;
    for (const Element* at = &element; at; ) {
        chain.push_back(at);
        const std::shared_ptr<Element> parent = at->parent();
        at = parent.get();
    }
    try {
        const ElementTemplate* templ = &RootTemplate();
        const ElementTemplate* parentTempl = nullptr;
        if (chain.back()->label() != templ->_name)
            return false;
        for (auto it = chain.rbegin() + 1; it != chain.rend(); ++it) {
            parentTempl = templ;
            templ = &templ->child((*it)->label());
        }
        return IsIdReference(*templ, parentTempl);
    } catch (const std::logic_error&) {
        return false;
    }
}

} // namespace sdf
