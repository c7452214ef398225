#include "sdformat/ObjectAdd.h"

#include "sdformat/ObjectFields.h"
#include "sdformat/ObjectIds.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>
#include <stdexcept>

namespace sdf {

std::vector<std::string> ObjectAdd::Kinds(const Element& parent)
{
    std::vector<std::string> kinds;
    const ElementTemplate* templ = TemplateOf(parent);
    if (!templ || !IsObjectTemplate(*templ))
        return kinds;
    for (const ElementTemplate& child : templ->_children) {
        if (IsObjectTemplate(child) && std::ranges::find(kinds, child._name) == kinds.end())
            kinds.push_back(child._name);
    }
    return kinds;
}

std::string ObjectAdd::UniqueName(const Element& parent, std::string_view base)
{
    std::set<std::string, std::less<>> taken;
    for (const auto& child : parent.elements()) {
        if (child->exists("name") && child->get("name")->hasValue() && IsObject(*child))
            taken.insert(child->get("name")->getStringFromValue());
    }
    if (!taken.contains(base))
        return std::string(base);
    for (unsigned int n = 2;; ++n) {
        std::string name = fmt::format("{}_{}", base, n);
        if (!taken.contains(name))
            return name;
    }
}

std::shared_ptr<Element> ObjectAdd::Add(Element& parent, std::string_view kind)
{
    const std::vector<std::string> kinds = Kinds(parent);
    if (std::ranges::find(kinds, kind) == kinds.end())
        throw std::invalid_argument(fmt::format("'{}' is not an object that {} can hold", kind, parent.label()));
    Element& root = const_cast<Element&>(RootOf(parent));
    FreshObjectIds ids(root);
    const unsigned int id = ids.take();
    const std::string name = UniqueName(parent, kind);
    const auto object = parent.append(kind);
    object->setId(id);
    ids.give(*object);
    object->set<std::string>("name", name);
    const unsigned int parentId = parent.getId(false);
    if (parentId != 0) {
        object->set<unsigned int>("parent", parentId);
        parent.append("child")->setValue<unsigned int>(id);
    }
    ids.record(root);
    return object;
}

std::shared_ptr<Element> ObjectAdd::AddGeometryPart(Element& parent, std::string_view name, std::string_view uri,
                                                    std::string_view fileType)
{
    const auto part = Add(parent, "part");
    part->set<std::string>("name", UniqueName(parent, name.empty() ? std::string_view("part") : name));
    // The file is the part's source as well as its body's shape.
    part->set<std::string>("uri", std::string(uri));
    const auto body = Add(*part, "body");
    body->set<std::string>("name", part->get("name")->getStringFromValue());
    body->set<std::string>("geometry/uri", std::string(uri));
    body->set<std::string>("geometry/file_type", std::string(fileType));
    return part;
}

} // namespace sdf
