#include "sdformat/ObjectCopy.h"

#include "sdformat/ObjectAdd.h"
#include "sdformat/ObjectFields.h"
#include "sdformat/ObjectIds.h"
#include "sdformat/SDF.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <set>
#include <stdexcept>
#include <typeinfo>
#include <utility>

namespace sdf {

namespace {

constexpr const char* kSource = "src/sdformat/ObjectCopy";

bool Below(const Element& element, const Element& top)
{
    for (std::shared_ptr<Element> at = element.parent(); at; at = at->parent())
        if (at.get() == &top)
            return true;
    return false;
}

std::string Indent(std::size_t depth)
{
    return std::string(depth * 4, ' ');
}

// The objects' names for reports: the name, or the kind and id.
std::string Called(const Element& object)
{
    if (const auto name = object.get("name"); name && name->hasValue() && !name->getStringFromValue().empty())
        return name->getStringFromValue();
    return fmt::format("{} {}", object.label(), object.getId(false));
}

} // namespace

std::string ObjectCopy::Write(const std::vector<const Element*>& objects)
{
    std::vector<const Element*> tops;
    for (const Element* object : objects) {
        ZRV_ASSERT(object, "object", kSource);
        const bool inner = std::ranges::any_of(objects, [&](const Element* other) { return Below(*object, *other); });
        if (!inner && std::ranges::find(tops, object) == tops.end())
            tops.push_back(object);
    }
    std::string text = "<sdf version='1.0'>\n    <station id='1'>\n";
    for (const Element* object : tops) {
        // The objects it sits in, between the station and itself.
        std::vector<const Element*> shells;
        for (std::shared_ptr<Element> at = object->parent(); at && at->label() != "station"; at = at->parent())
            shells.push_back(at.get());
        std::ranges::reverse(shells);
        std::size_t depth = 2;
        for (const Element* shell : shells) {
            const unsigned int id = shell->getId(false);
            text += id != 0 ? fmt::format("{}<{} id='{}'>\n", Indent(depth), shell->label(), id)
                            : fmt::format("{}<{}>\n", Indent(depth), shell->label());
            ++depth;
        }
        text += object->toXMLString(Indent(depth));
        for (auto shell = shells.rbegin(); shell != shells.rend(); ++shell)
            text += fmt::format("{}</{}>\n", Indent(--depth), (*shell)->label());
    }
    for (const Element* object : tops)
        text += fmt::format("        <child>{}</child>\n", object->getId(false));
    text += "    </station>\n</sdf>\n";
    return text;
}

ObjectCopy::Pasted ObjectCopy::Paste(std::string_view text, Element& parent)
{
    const std::shared_ptr<SDF> clip = SDF::ReadSdfFromString(text);
    const std::shared_ptr<Element> station = clip->Root()->get("station");
    std::vector<unsigned int> wanted;
    if (station) {
        for (const auto& child : station->children("child"))
            if (child->hasValue() && child->type_info() == typeid(unsigned int) && child->asUInt() != 0)
                wanted.push_back(child->asUInt());
    }
    // The first object of each listed id, in document order.
    std::vector<std::shared_ptr<Element>> copies;
    std::set<unsigned int> found;
    WalkTree(*clip->Root(), [&](const TreeVisit& v) {
        const unsigned int id = IsObjectTemplate(v.templ) ? v.element.getId(false) : 0;
        if (id == 0 || std::ranges::find(wanted, id) == wanted.end() || !found.insert(id).second)
            return;
        for (const auto& child : v.element.parent()->elements())
            if (child.get() == &v.element)
                copies.push_back(child);
    });
    if (copies.empty())
        throw std::invalid_argument("the text holds no station objects");
    const std::vector<std::string> kinds = ObjectAdd::Kinds(parent);
    for (const auto& copy : copies) {
        if (std::ranges::find(kinds, copy->label()) == kinds.end())
            throw std::invalid_argument(
                fmt::format("'{}' is not an object that {} can hold", copy->label(), parent.label()));
    }

    Element& root = const_cast<Element&>(RootOf(parent));
    const std::set<unsigned int> present = ObjectIdsBelow(root);
    FreshObjectIds fresh(root);
    std::map<unsigned int, unsigned int> renumbered;
    for (const auto& copy : copies)
        for (const unsigned int id : ObjectIdsBelow(*copy))
            if (!renumbered.contains(id))
                renumbered.emplace(id, fresh.take());

    Pasted pasted;
    const unsigned int parentId = parent.getId(false);
    for (const auto& copy : copies) {
        const std::string called = Called(*copy);
        struct Step
        {
            Element* element;
            const ElementTemplate* templ;
            const ElementTemplate* parentTempl;
            std::string path;
        };
        std::vector<Step> pending{{copy.get(), TemplateOf(*copy), nullptr, called}};
        while (!pending.empty()) {
            Step step = std::move(pending.back());
            pending.pop_back();
            Element& at = *step.element;
            if (IsObjectTemplate(*step.templ) && at.getId(false) != 0)
                at.setId(renumbered.at(at.getId(false)));
            const bool ownParent = at.parent() == copy && at.label() == "parent";
            if (!ownParent && at.hasValue() && IsIdReference(*step.templ, step.parentTempl) &&
                at.type_info() == typeid(unsigned int)) {
                const unsigned int id = at.asUInt();
                if (const auto it = renumbered.find(id); it != renumbered.end()) {
                    at.setValue<unsigned int>(it->second);
                } else if (id != 0 && !present.contains(id)) {
                    at.setValue<unsigned int>(0u);
                    pasted.unresolved.push_back({step.path, id});
                }
            }
            for (auto child = at.elements().rbegin(); child != at.elements().rend(); ++child)
                pending.push_back({child->get(), &step.templ->child((*child)->label()), step.templ,
                                   fmt::format("{}/{}", step.path, (*child)->label())});
        }
        copy->removeFromParent();
        copy->set<std::string>("name", ObjectAdd::UniqueName(parent, called));
        parent.append(copy);
        fresh.give(*copy);
        if (parentId != 0) {
            copy->set<unsigned int>("parent", parentId);
            parent.append("child")->setValue<unsigned int>(copy->getId(false));
        } else {
            copy->set<unsigned int>("parent", 0u);
        }
        pasted.objects.push_back(copy);
    }
    fresh.record(root);
    return pasted;
}

} // namespace sdf
