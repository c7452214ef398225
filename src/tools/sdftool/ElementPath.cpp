#include "ElementPath.h"

#include "Command.h"

#include <fmt/format.h>

#include <charconv>

namespace sdftool {

namespace {

PathStep parseStep(std::string_view piece, std::string_view path)
{
    if (piece.empty())
        throw Failure(fmt::format("bad path '{}': empty piece", path));
    if (piece.starts_with('@')) {
        if (piece.size() == 1 || piece.find_first_of("@[]", 1) != std::string_view::npos)
            throw Failure(fmt::format("bad path '{}': '{}' is not @name", path, piece));
        return {std::string(piece.substr(1)), 0, true};
    }
    const auto open = piece.find('[');
    if (open == std::string_view::npos)
        return {std::string(piece), 0, false};

    const std::string_view digits = piece.substr(open + 1, piece.size() - open - 2);
    std::size_t index = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (open == 0 || piece.back() != ']' || digits.empty() || ec != std::errc() ||
        end != digits.data() + digits.size() || index == 0)
        throw Failure(fmt::format("bad path '{}': '{}' is not a label or label[n] with n from 1", path, piece));
    return {std::string(piece.substr(0, open)), index, false};
}

// The child a step names, or nullptr.
std::shared_ptr<sdf::Element> childAt(const sdf::Element& parent, const PathStep& step)
{
    std::size_t seen = 0;
    const std::size_t wanted = step.index == 0 ? 1 : step.index;
    for (const auto& child : parent.children(step.label))
        if (++seen == wanted)
            return child;
    return nullptr;
}

} // namespace

std::vector<PathStep> ParsePath(std::string_view path, std::string_view rootLabel)
{
    std::vector<PathStep> steps;
    std::string_view rest = path;
    if (rest.starts_with('/')) {
        if (rest == "/")
            return steps;
        rest.remove_prefix(1);
        const std::string_view first = rest.substr(0, rest.find('/'));
        if (first != rootLabel)
            throw Failure(fmt::format("bad path '{}': an absolute path starts at the root '/{}'", path, rootLabel));
        rest.remove_prefix(first.size());
        if (rest.empty())
            return steps;
        rest.remove_prefix(1);   // the '/' after the root
        if (rest.empty())
            throw Failure(fmt::format("bad path '{}': empty piece", path));
    }
    if (rest.empty())
        return steps;
    for (;;) {
        const auto slash = rest.find('/');
        steps.push_back(parseStep(rest.substr(0, slash), path));
        if (slash == std::string_view::npos)
            break;
        if (steps.back().attribute)
            throw Failure(fmt::format("bad path '{}': an attribute '@{}' can only be the last piece", path,
                                      steps.back().label));
        rest.remove_prefix(slash + 1);
    }
    return steps;
}

sdf::Attr* FindAttribute(const sdf::Element& element, std::string_view label)
{
    for (const auto& attr : element.attributes())
        if (attr->label() == label)
            return attr.get();
    return nullptr;
}

Located FindPath(const std::shared_ptr<sdf::Element>& root, std::string_view path)
{
    Located at{root, &sdf::RootTemplate(), {}};
    for (const auto& step : ParsePath(path, root->label())) {
        if (step.attribute) {
            at.attribute = step.label;
            break;
        }
        auto child = childAt(*at.element, step);
        if (!child)
            return {};
        at = {child, &at.templ->child(step.label), {}};
    }
    return at;
}

Located TouchPath(const std::shared_ptr<sdf::Element>& root, std::string_view path)
{
    Located at{root, &sdf::RootTemplate(), {}};
    for (const auto& step : ParsePath(path, root->label())) {
        if (step.attribute) {
            at.attribute = step.label;
            break;
        }
        auto child = childAt(*at.element, step);
        if (!child) {
            if (step.index != 0)
                throw Failure(fmt::format("no element '{}[{}]' in '{}'", step.label, step.index, path));
            child = at.element->append(step.label);
        }
        at = {child, &at.templ->child(step.label), {}};
    }
    return at;
}

} // namespace sdftool
