#include "sdformat/TreeWalk.h"

#include <fmt/format.h>

#include <string>
#include <utility>
#include <vector>

namespace sdf {

namespace {

struct LabelCount
{
    std::string_view label;
    std::size_t total = 0;
    std::size_t seen = 0;
};

class Walker
{
public:
    explicit Walker(const std::function<void(const TreeVisit&)>& visit) : _visit(visit) {}

    void walk(const Element& element, const ElementTemplate& templ,
              const ElementTemplate* parentTempl, std::size_t depth)
    {
        _visit(TreeVisit{element, templ, parentTempl, depth, _path});

        const auto& children = element.elements();
        if (children.empty())
            return;
        // Elements have few distinct child labels (at most a few dozen), so
        // a short list beats a hash map here.
        std::vector<LabelCount> counts;
        for (const auto& child : children)
            countOf(counts, child->label()).total++;

        const std::size_t pathLength = _path.size();
        for (const auto& child : children) {
            LabelCount& count = countOf(counts, child->label());
            ++count.seen;
            _path += '/';
            _path += child->label();
            if (count.total > 1)
                fmt::format_to(std::back_inserter(_path), "[{}]", count.seen);
            walk(*child, templ.child(child->label()), &templ, depth + 1);
            _path.resize(pathLength);
        }
    }

    void start(const Element& root)
    {
        _path = "/" + root.label();
        walk(root, RootTemplate(), nullptr, 0);
    }

private:
    static LabelCount& countOf(std::vector<LabelCount>& counts, std::string_view label)
    {
        for (auto& c : counts)
            if (c.label == label)
                return c;
        return counts.emplace_back(LabelCount{label});
    }

    const std::function<void(const TreeVisit&)>& _visit;
    std::string _path;
};

} // namespace

void WalkTree(const Element& root, const std::function<void(const TreeVisit&)>& visit)
{
    Walker(visit).start(root);
}

} // namespace sdf
