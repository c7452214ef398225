#include "IdCheck.h"

#include "ObjectFields.h"
#include "TreeWalk.h"

#include <fmt/format.h>

#include <algorithm>
#include <any>
#include <cstdint>
#include <unordered_map>

namespace sdftool {

namespace {

struct Reference
{
    std::size_t order;     // position of the problem in document order
    std::string path;
    unsigned int id;
};

struct Ordered
{
    std::size_t order;
    IdProblem problem;
};

// The type a document gave a value in its `type` attribute, or empty.
std::string documentType(const sdf::Element& element)
{
    for (const auto& attr : element.attributes())
        if (attr->label() == "type")
            return attr->asString();
    return {};
}

} // namespace

std::vector<IdProblem> CheckIds(const sdf::Element& root)
{
    std::unordered_map<unsigned int, std::string> objects;   // id -> path of its first object
    std::vector<Reference> references;
    std::vector<Ordered> problems;
    std::size_t order = 0;

    WalkTree(root, [&](const Visit& v) {
        ++order;
        if (IsObjectTemplate(v.templ)) {
            const unsigned int id = v.element.getId(false);
            if (id != 0) {
                auto [it, inserted] = objects.try_emplace(id, v.path);
                if (!inserted)
                    problems.push_back({order, {std::string(v.path),
                                                fmt::format("object id {} is also used by {}", id, it->second)}});
            }
        }
        if (IsIdReference(v.templ, v.parentTempl)) {
            // A document may give any element a value of another type through
            // a `type` attribute; such a value is no id.
            if (const std::string type = documentType(v.element); !type.empty() && type != "unsigned int") {
                problems.push_back({order, {std::string(v.path),
                                            fmt::format("holds a '{}' value, not an object id", type)}});
                return;
            }
            const unsigned int id = v.element.valueOr<unsigned int>("", 0u);
            if (id != 0)
                references.push_back({order, std::string(v.path), id});
        }
    });

    for (auto& ref : references)
        if (!objects.contains(ref.id))
            problems.push_back({ref.order, {std::move(ref.path), fmt::format("id {} names no object", ref.id)}});

    std::ranges::stable_sort(problems, {}, &Ordered::order);
    std::vector<IdProblem> result;
    result.reserve(problems.size());
    for (auto& p : problems)
        result.push_back(std::move(p.problem));
    return result;
}

} // namespace sdftool
