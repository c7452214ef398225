#include "sdformat/IdCheck.h"

#include "sdformat/ElementTemplate.h"
#include "sdformat/ObjectFields.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <limits>
#include <unordered_map>

namespace sdf {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// A value naming an object, with where it stands.
struct Mention
{
    std::size_t order;   // document position of the element
    std::string path;
    unsigned int id;
};

struct Object
{
    std::size_t order;
    std::string path;
    unsigned int id;
    // Its object parent: the `parent` element's value (0 for none), or
    // without one the object it lies in, as the object model takes it.
    unsigned int parent;
    std::string parentPath;          // the `parent` element, or empty
    std::vector<Mention> children;   // its `child` elements naming objects
};

struct Ordered
{
    std::size_t order;
    IdCheck::Problem problem;
};

// The type a document gave a value in its `type` attribute, or empty.
std::string documentType(const Element& element)
{
    for (const auto& attr : element.attributes())
        if (attr->label() == "type")
            return attr->asString();
    return {};
}

class Checker
{
public:
    std::vector<IdCheck::Problem> run(const Element& root)
    {
        WalkTree(root, [this](const TreeVisit& v) { visit(v); });
        checkReferences();
        checkFamilies();
        checkLoops();

        std::ranges::stable_sort(_problems, {}, &Ordered::order);
        std::vector<IdCheck::Problem> result;
        result.reserve(_problems.size());
        for (auto& p : _problems)
            result.push_back(std::move(p.problem));
        return result;
    }

private:
    void report(std::size_t order, IdCheck::Kind kind, std::string message, std::vector<unsigned int> ids,
                std::vector<std::string> paths)
    {
        _problems.push_back({order, {kind, std::move(message), std::move(ids), std::move(paths)}});
    }

    void visit(const TreeVisit& v)
    {
        ++_order;
        if (_objectAtDepth.size() <= v.depth)
            _objectAtDepth.resize(v.depth + 1, kNone);
        _objectAtDepth[v.depth] = kNone;

        if (IsObjectTemplate(v.templ))
            visitObject(v);
        if (!IsIdReference(v.templ, v.parentTempl))
            return;
        // A document may give any element a value of another type through a
        // `type` attribute; such a value is no id.
        if (const std::string type = documentType(v.element); !type.empty() && type != "unsigned int") {
            report(_order, IdCheck::Kind::NotAnId, fmt::format("holds a '{}' value, not an object id", type), {},
                   {std::string(v.path)});
            return;
        }
        const unsigned int id = v.element.valueOr<unsigned int>("", 0u);
        // The object fields `parent` and `child` of an object.
        // The walk visited the parent just before; it is an object when its
        // slot holds one.
        const std::size_t owner = v.depth > 0 ? _objectAtDepth[v.depth - 1] : kNone;
        if (owner != kNone && v.templ._name == "parent") {
            _objects[owner].parent = id;
            _objects[owner].parentPath = v.path;
        }
        if (id == 0)
            return;
        Mention mention{_order, std::string(v.path), id};
        if (owner != kNone && v.templ._name == "child")
            _objects[owner].children.push_back(mention);
        _references.push_back(std::move(mention));
    }

    void visitObject(const TreeVisit& v)
    {
        const unsigned int id = v.element.getId(false);
        unsigned int enclosing = 0;
        for (std::size_t depth = v.depth; depth-- > 0;)
            if (_objectAtDepth[depth] != kNone) {
                enclosing = _objects[_objectAtDepth[depth]].id;
                break;
            }
        _objectAtDepth[v.depth] = _objects.size();
        _objects.push_back({_order, std::string(v.path), id, enclosing, {}, {}});
        if (id == 0)
            report(_order, IdCheck::Kind::ZeroId, "object has id 0, which names no object", {0}, {std::string(v.path)});
        auto [it, inserted] = _byId.try_emplace(id, _objects.size() - 1);
        if (!inserted) {
            const Object& first = _objects[it->second];
            report(_order, IdCheck::Kind::DuplicateId, fmt::format("object id {} is also used by {}", id, first.path),
                   {id}, {std::string(v.path), first.path});
        }
    }

    const Object* object(unsigned int id) const
    {
        const auto it = _byId.find(id);
        return it == _byId.end() ? nullptr : &_objects[it->second];
    }

    void checkReferences()
    {
        for (auto& ref : _references)
            if (!object(ref.id))
                report(ref.order, IdCheck::Kind::DanglingReference, fmt::format("id {} names no object", ref.id),
                       {ref.id}, {ref.path});
    }

    // A child list and the parents of the objects it lists must tell the
    // same story. An object that is listed nowhere, or whose parent keeps no
    // list, is placed by its parent alone and contradicts nothing. Objects
    // that share an id are reported already; each is checked against the
    // first object with that id.
    void checkFamilies()
    {
        // child id -> its first listing and the id of the list's owner
        std::unordered_map<unsigned int, std::pair<const Mention*, unsigned int>> listedAt;
        for (const Object& container : _objects) {
            for (const Mention& child : container.children) {
                auto [it, first] = listedAt.try_emplace(child.id, &child, container.id);
                if (!first) {
                    const auto& [earlier, earlierContainer] = it->second;
                    report(child.order, IdCheck::Kind::ListedTwice,
                           earlierContainer == container.id
                               ? fmt::format("object {} is listed twice, first at {}", child.id, earlier->path)
                               : fmt::format("object {} is also listed as a child at {}", child.id, earlier->path),
                           {child.id, container.id, earlierContainer}, {child.path, earlier->path});
                }
                const Object* member = object(child.id);
                if (!member || container.id == 0 || member->parent == container.id)
                    continue;
                report(child.order, IdCheck::Kind::ParentMismatch,
                       member->parentPath.empty()
                           ? fmt::format("lists object {} as a child, but it names no parent and lies in {}", child.id,
                                         member->parent)
                           : fmt::format("lists object {} as a child, but its parent is {}", child.id, member->parent),
                       {child.id, container.id, member->parent},
                       {child.path, member->parentPath.empty() ? member->path : member->parentPath});
            }
        }
    }

    // Parents must lead up to the top: a chain that comes back to where it
    // started places its objects nowhere, even when every child list agrees
    // with it. Each loop is reported once, at its object first in the
    // document. Chains are followed one step at a time, however long.
    void checkLoops()
    {
        enum : std::uint8_t { Unseen, OnChain, Done };
        std::vector<std::uint8_t> state(_objects.size(), Unseen);
        std::vector<std::size_t> chain;
        for (std::size_t start = 0; start < _objects.size(); ++start) {
            chain.clear();
            std::size_t at = start;
            while (state[at] == Unseen) {
                state[at] = OnChain;
                chain.push_back(at);
                const unsigned int parent = _objects[at].parent;
                const auto it = parent == 0 ? _byId.end() : _byId.find(parent);
                if (it == _byId.end())
                    break;
                at = it->second;
            }
            if (state[at] == OnChain && !chain.empty() && _objects[chain.back()].parent != 0 &&
                _byId.count(_objects[chain.back()].parent) != 0)
                reportLoop({std::ranges::find(chain, at), chain.end()});
            for (const std::size_t seen : chain)
                state[seen] = Done;
        }
    }

    void reportLoop(std::span<const std::size_t> loop)
    {
        const auto first = std::ranges::min_element(loop, {}, [&](std::size_t i) { return _objects[i].order; });
        std::vector<unsigned int> ids;
        std::vector<std::string> paths;
        for (std::size_t k = 0; k < loop.size(); ++k) {
            const Object& member = _objects[loop[(static_cast<std::size_t>(first - loop.begin()) + k) % loop.size()]];
            ids.push_back(member.id);
            paths.push_back(member.parentPath.empty() ? member.path : member.parentPath);
        }
        // A long loop is named by its start and its length.
        constexpr std::size_t kNamed = 8;
        std::string chainText = fmt::format("{}", ids.front());
        for (std::size_t k = 1; k < std::min(ids.size(), kNamed); ++k)
            fmt::format_to(std::back_inserter(chainText), " -> {}", ids[k]);
        if (ids.size() > kNamed)
            fmt::format_to(std::back_inserter(chainText), " -> ... ({} objects)", ids.size());
        fmt::format_to(std::back_inserter(chainText), " -> {}", ids.front());
        std::string message = fmt::format("object {} is its own ancestor: parents {}", ids.front(), chainText);
        report(_objects[*first].order, IdCheck::Kind::ParentLoop, std::move(message), std::move(ids), std::move(paths));
    }

    std::size_t _order = 0;
    std::vector<Object> _objects;
    std::unordered_map<unsigned int, std::size_t> _byId;   // id -> first object with it
    std::vector<std::size_t> _objectAtDepth;               // object being walked at each depth, or kNone
    std::vector<Mention> _references;
    std::vector<Ordered> _problems;
};

} // namespace

std::vector<IdCheck::Problem> IdCheck::Check(const Element& root)
{
    ZRV_ASSERT(root.label() == RootTemplate()._name, "root.label() == RootTemplate()._name", "src/sdformat/IdCheck");
    return Checker().run(root);
}

std::string_view IdCheck::KindName(Kind kind)
{
    switch (kind) {
    case Kind::ZeroId: return "zero-id";
    case Kind::DuplicateId: return "duplicate-id";
    case Kind::DanglingReference: return "dangling-reference";
    case Kind::NotAnId: return "not-an-id";
    case Kind::ParentMismatch: return "parent-mismatch";
    case Kind::ListedTwice: return "listed-twice";
    case Kind::ParentLoop: return "parent-loop";
    }
    return "unknown";
}

} // namespace sdf
