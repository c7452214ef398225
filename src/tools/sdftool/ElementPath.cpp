#include "ElementPath.h"

#include "Command.h"

#include <fmt/format.h>

#include <sdformat/ObjectFields.h>

#include <charconv>
#include <limits>
#include <utility>

namespace sdftool {

namespace {

PathStep parseStep(std::string_view piece, std::string_view path)
{
    if (piece.empty())
        throw Failure(fmt::format("bad path '{}': empty piece", path));
    if (piece.starts_with('@')) {
        if (piece.size() == 1 || piece.find_first_of("@[]", 1) != std::string_view::npos)
            throw Failure(fmt::format("bad path '{}': '{}' is not @name", path, piece));
        return {std::string(piece.substr(1)), 0, true, {}, false, std::string(piece)};
    }
    if (piece.starts_with('#')) {
        std::size_t id = 0;
        const auto [end, ec] = std::from_chars(piece.data() + 1, piece.data() + piece.size(), id);
        if (piece.size() == 1 || ec != std::errc() || end != piece.data() + piece.size() || id == 0 ||
            id > std::numeric_limits<unsigned int>::max())
            throw Failure(fmt::format("bad path '{}': '{}' is not #id with an object id from 1", path, piece));
        return {{}, id, false, {}, true, std::string(piece)};
    }
    const auto open = piece.find('[');
    if (open == std::string_view::npos)
        return {std::string(piece), 0, false, {}, false, std::string(piece)};
    if (const std::string_view inside = piece.substr(open + 1); open != 0 && inside.starts_with("name=") &&
                                                                   piece.back() == ']')
        return {std::string(piece.substr(0, open)), 0, false, std::string(inside.substr(5, inside.size() - 6)), false,
                std::string(piece)};

    const std::string_view digits = piece.substr(open + 1, piece.size() - open - 2);
    std::size_t index = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (open == 0 || piece.back() != ']' || digits.empty() || ec != std::errc() ||
        end != digits.data() + digits.size() || index == 0)
        throw Failure(fmt::format("bad path '{}': '{}' is not a label or label[n] with n from 1", path, piece));
    return {std::string(piece.substr(0, open)), index, false, {}, false, std::string(piece)};
}

// The child a step names, or nullptr.
std::shared_ptr<sdf::Element> childAt(const sdf::Element& parent, const PathStep& step)
{
    std::size_t seen = 0;
    const std::size_t wanted = step.index == 0 ? 1 : step.index;
    for (const auto& child : parent.children(step.label)) {
        if (!step.name.empty()) {
            const auto name = child->get("name");
            if (name && name->hasValue() && name->getStringFromValue() == step.name)
                return child;
            continue;
        }
        if (++seen == wanted)
            return child;
    }
    return nullptr;
}

// The object with that id and its template, searched in document order
// one element at a time, however deep the tree.
Located objectWithId(const std::shared_ptr<sdf::Element>& root, std::size_t id)
{
    std::vector<std::pair<std::shared_ptr<sdf::Element>, const sdf::ElementTemplate*>> pending{
        {root, &sdf::RootTemplate()}};
    while (!pending.empty()) {
        auto [element, templ] = std::move(pending.back());
        pending.pop_back();
        if (sdf::IsObjectTemplate(*templ) && element->getId(false) == id)
            return {element, templ, {}, {}};
        const auto& children = element->elements();
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.emplace_back(*child, &templ->child((*child)->label()));
    }
    return {};
}

// The element path of an element, as the checks report it, for messages.
std::string pathOf(const sdf::Element& element)
{
    std::vector<std::string> labels;
    for (auto at = element.shared_from_this(); at; at = at->parent())
        labels.push_back(at->label());
    std::string path;
    for (auto label = labels.rbegin(); label != labels.rend(); ++label)
        path += "/" + *label;
    return path;
}

// The element a step leads to from at, or one without an element that
// says what matched nothing.
Located step(const std::shared_ptr<sdf::Element>& root, const Located& at, const PathStep& step)
{
    if (step.byId) {
        Located found = objectWithId(root, step.index);
        if (!found.element)
            found.missing = fmt::format("'{}' matched nothing: no object has id {}", step.text, step.index);
        return found;
    }
    if (auto child = childAt(*at.element, step))
        return {child, &at.templ->child(step.label), {}, {}};
    Located none;
    none.missing = fmt::format("'{}' matched nothing in {}", step.text, pathOf(*at.element));
    return none;
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
    Located at{root, &sdf::RootTemplate(), {}, {}};
    for (const auto& piece : ParsePath(path, root->label())) {
        if (piece.attribute) {
            at.attribute = piece.label;
            break;
        }
        at = step(root, at, piece);
        if (!at.element)
            return at;
    }
    return at;
}

Located TouchPath(const std::shared_ptr<sdf::Element>& root, std::string_view path, std::vector<Located>* created)
{
    Located at{root, &sdf::RootTemplate(), {}, {}};
    for (const auto& piece : ParsePath(path, root->label())) {
        if (piece.attribute) {
            at.attribute = piece.label;
            break;
        }
        // Only a plain label is made when missing; a piece that picks an
        // existing element must find it.
        if (piece.byId || !piece.name.empty() || piece.index != 0) {
            Located next = step(root, at, piece);
            if (!next.element)
                throw Failure(fmt::format("no element at '{}': {}", path, next.missing));
            at = std::move(next);
            continue;
        }
        auto child = childAt(*at.element, piece);
        const bool made = !child;
        if (made)
            child = at.element->append(piece.label);
        at = {child, &at.templ->child(piece.label), {}, {}};
        if (made && created)
            created->push_back(at);
    }
    return at;
}

std::string AbsolutePath(const sdf::Element& element)
{
    std::vector<std::string> pieces;
    for (auto at = element.shared_from_this(); at; at = at->parent()) {
        std::string piece = at->label();
        if (const auto parent = at->parent()) {
            std::size_t total = 0;
            std::size_t place = 0;
            for (const auto& sibling : parent->children(at->label())) {
                ++total;
                if (sibling == at)
                    place = total;
            }
            if (total > 1)
                piece += fmt::format("[{}]", place);
        }
        pieces.push_back(std::move(piece));
    }
    std::string path;
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece)
        path += "/" + *piece;
    return path;
}

} // namespace sdftool
