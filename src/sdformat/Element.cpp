#include <sdformat/Element.h>

#include <sdformat/ElementWithValue.h>
#include <sdformat/MessageText.h>
#include <sdformat/NameIntern.h>
#include <sdformat/TypeManager.h>

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

namespace sdf {

namespace {

constexpr const char* kSource = "src/sdformat/Element";

// Calls f(piece, isLast) for each piece of a non-empty path, cut at every
// "/"; stops early when f returns false. No allocation: paths are on the
// hot path of every reader, writer and object.
template <class F>
bool ForEachPiece(std::string_view path, F&& f)
{
    for (;;) {
        const auto slash = path.find('/');
        if (slash == std::string_view::npos)
            return f(path);
        if (!f(path.substr(0, slash)))
            return false;
        path.remove_prefix(slash + 1);
    }
}

// The first child template with that name, or nullptr.
const ElementTemplate* FindChildTemplate(const ElementTemplate* templ, std::string_view name)
{
    if (!templ)
        return nullptr;
    for (const auto& child : templ->_children)
        if (child._name == name)
            return &child;
    return nullptr;
}

} // namespace

const std::string& Element::EmptyLabel()
{
    static const std::string empty;
    return empty;
}

void Element::ThrowNoValue(std::string_view path) const
{
    const Element* at = getRaw(path);
    throw std::logic_error(fmt::format("element '{}' has no value", detail::ForMessage(at ? at->label() : label())));
}

// ---- lookups -------------------------------------------------------------

Element* Element::findChild(std::string_view name) const
{
    for (const auto& child : _children)
        if (child->label() == name)
            return child.get();
    return nullptr;
}

std::shared_ptr<Element> Element::element(std::string_view name) const
{
    for (const auto& child : _children)
        if (child->label() == name)
            return child;
    return nullptr;
}

Attr* Element::findAttribute(std::string_view name) const
{
    for (const auto& attr : _attributes)
        if (attr->label() == name)
            return attr.get();
    return nullptr;
}

std::shared_ptr<Attr> Element::attribute(std::string_view name) const
{
    for (const auto& attr : _attributes)
        if (attr->label() == name)
            return attr;
    return nullptr;
}

void Element::addAttribute(std::string_view label, std::string_view type, std::string_view text)
{
    ZRV_ASSERT(nullptr == attribute(label), "nullptr == attribute(attr)", kSource);
    _attributes.push_back(std::make_shared<Attr>(label, type, TypeManager::inst()->fromString(type, text), true));
}

// ---- paths -----------------------------------------------------------------

const Element* Element::getRaw(std::string_view path) const
{
    const Element* at = this;
    if (path.empty())
        return at;
    ForEachPiece(path, [&](std::string_view piece) {
        at = at->findChild(piece);
        return at != nullptr;
    });
    return at;
}

Element* Element::touchRaw(std::string_view path)
{
    Element* at = this;
    if (path.empty())
        return at;
    ForEachPiece(path, [&](std::string_view piece) {
        Element* next = at->findChild(piece);
        at = next ? next : at->append(piece).get();
        return true;
    });
    return at;
}

std::shared_ptr<Element> Element::get(std::string_view path) const
{
    const Element* found = getRaw(path);
    if (!found)
        return nullptr;
    // Elements are handed out as mutable shared pointers whatever the
    // constness of the element asked; the tree itself is not const.
    return const_cast<Element*>(found)->shared_from_this();
}

std::shared_ptr<Element> Element::touch(std::string_view path)
{
    return touchRaw(path)->shared_from_this();
}

Attr* Element::valueAt(std::string_view path)
{
    return touchRaw(path)->_value.get();
}

// ---- adding children ---------------------------------------------------------

void Element::link(Element& child)
{
    auto self = weak_from_this();
    if (self.expired())
        throw std::bad_weak_ptr();
    child._parent = std::move(self);
}

void Element::checkAdoptable(const std::shared_ptr<Element>& element) const
{
    ZRV_ASSERT(element, "element", kSource);
    if (!element)
        throw std::invalid_argument("element is empty");
    // An element among its own descendants would own itself: the tree
    // would never be freed and every walk over it would not end.
    for (auto at = weak_from_this().lock(); at; at = at->_parent.lock())
        if (at == element)
            throw std::logic_error("element can not be a descendant of itself");
}

void Element::appendRequired()
{
    // Each required child is appended by its name, so a name that stands
    // twice in the template resolves to its first template, as appending by
    // name does everywhere else.
    for (const auto& childTemplate : _template->_children) {
        if (!childTemplate._required)
            continue;
        const ElementTemplate* first = FindChildTemplate(_template, childTemplate._name);
        auto child = SpawnWithRequired(*first);
        link(*child);
        _children.push_back(std::move(child));
    }
}

std::shared_ptr<Element> Element::SpawnWithRequired(const ElementTemplate& templ)
{
    auto element = templ.spawn();
    element->appendRequired();
    return element;
}

std::shared_ptr<Element> Element::append(std::string_view name)
{
    ZRV_ASSERT(_template, "_template", kSource);
    const ElementTemplate* childTemplate = FindChildTemplate(_template, name);
    if (!childTemplate)
        throw std::logic_error(
            fmt::format("element '{}' does not have '{}' child element",
                        detail::ForMessage(_template ? _template->_name : ""), detail::ForMessage(name)));
    // The subtree is complete before it is linked, so a failure leaves this
    // element as it was.
    auto child = SpawnWithRequired(*childTemplate);
    link(*child);
    _children.push_back(child);
    return child;
}

std::shared_ptr<Element> Element::append(std::shared_ptr<Element> element)
{
    checkAdoptable(element);
    link(*element);
    _children.push_back(element);
    return element;
}

namespace {

// The position of the child that has position index among the children
// labelled name, or end() when there are not that many.
Element::ElementList::iterator NthWithLabel(Element::ElementList& list, std::string_view name, unsigned int index)
{
    unsigned int seen = 0;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if ((*it)->label() == name) {
            if (seen == index)
                return it;
            ++seen;
        }
    }
    return list.end();
}

} // namespace

std::shared_ptr<Element> Element::InsertElement(unsigned int index, std::string_view name)
{
    ZRV_ASSERT(_template, "_template", kSource);
    const ElementTemplate* childTemplate = FindChildTemplate(_template, name);
    if (!childTemplate)
        throw std::logic_error("Missing element description");
    auto child = SpawnWithRequired(*childTemplate);
    link(*child);
    auto before = NthWithLabel(_children, name, index);
    if (before == _children.end()) {
        ZRV_ASSERT(index == std::ranges::count_if(_children, [&](const auto& c) { return c->label() == name; }),
                   "index out of bound", kSource);
        _children.push_back(child);
    } else {
        _children.insert(before, child);
    }
    return child;
}

void Element::insert(unsigned int index, std::shared_ptr<Element> element)
{
    if (index > _children.size())
        throw std::logic_error("index should not exceed elements' count");
    checkAdoptable(element);
    link(*element);
    _children.insert(_children.begin() + index, std::move(element));
}

void Element::MoveElement(const std::shared_ptr<Element>& element, unsigned int index)
{
    auto at = std::ranges::find(_children, element);
    ZRV_ASSERT(element && at != _children.end(), "element is a child of this element", kSource);
    // Moving an element that is not listed here would list it here without
    // a parent link; leave the tree alone instead.
    if (!element || at == _children.end())
        return;
    auto moved = std::move(*at);
    _children.erase(at);
    auto before = NthWithLabel(_children, moved->label(), index);
    _children.insert(before, std::move(moved));
}

// ---- removing children -----------------------------------------------------------

void Element::remove(const std::shared_ptr<Element>& element)
{
    ZRV_ASSERT(element, "child", kSource);
    auto at = std::ranges::find(_children, element);
    if (at == _children.end())
        return;
    (*at)->_parent.reset();
    _children.erase(at);
}

void Element::remove(std::string_view name, const Predicate& predicate)
{
    // Decide first and erase afterwards, so a predicate that throws leaves
    // the list as it was.
    std::vector<bool> drop(_children.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < _children.size(); ++i) {
        if (_children[i]->label() == name && (!predicate || predicate(_children[i]))) {
            drop[i] = true;
            any = true;
        }
    }
    if (!any)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < _children.size(); ++i) {
        if (drop[i])
            _children[i]->_parent.reset();
        else
            _children[kept++] = std::move(_children[i]);
    }
    _children.resize(kept);
}

void Element::removeFromParent()
{
    if (auto parent = _parent.lock()) {
        auto& siblings = parent->_children;
        auto at = std::ranges::find_if(siblings, [this](const auto& c) { return c.get() == this; });
        if (at != siblings.end()) {
            // Keep this element alive while the parent lets go of it.
            auto self = std::move(*at);
            siblings.erase(at);
            _parent.reset();
            return;
        }
    }
    _parent.reset();
}

void Element::clear()
{
    _parent.reset();
    _children.clear();
}

// ---- copies and positions ------------------------------------------------------

Element::Element(const Element& other)
    : std::enable_shared_from_this<Element>(other), _attributes(other._attributes), _value(other.sharedValue()),
      _children(other._children), _template(other._template), _parent(other._parent)
{
}

Element& Element::operator=(const Element& other)
{
    if (this == &other)
        return *this;
    _attributes = other._attributes;
    _value = other.sharedValue();
    // A value that lives in this element's own block (this element's
    // former value, given back by a copy of it) must not keep this
    // element alive: that would be a cycle that is never freed.
    if (_value && !_value.owner_before(weak_from_this()) && !weak_from_this().owner_before(_value) &&
        _value.use_count() != 0)
        _value = std::shared_ptr<Attr>(std::shared_ptr<Attr>(), _value.get());
    _children = other._children;
    _template = other._template;
    _parent = other._parent;
    return *this;
}

std::shared_ptr<Attr> Element::sharedValue() const
{
    // Owning pointers (and none) share as they are; a value in this
    // element's block has no count of its own.
    if (!_value || _value.use_count() != 0)
        return _value;
    return std::shared_ptr<Attr>(std::const_pointer_cast<Element>(shared_from_this()), _value.get());
}

std::shared_ptr<Element> Element::clone() const
{
    std::shared_ptr<Element> copy;
    if (_value)
        copy = WithValue::Make(std::allocator<WithValue>(), &_value->names(), _value->_value, _value->isRequired());
    else
        copy = std::make_shared<Element>();
    copy->_template = _template;
    copy->_attributes.reserve(_attributes.size());
    for (const auto& attr : _attributes)
        copy->_attributes.push_back(attr->clone());
    copy->_children.reserve(_children.size());
    for (const auto& child : _children) {
        // Fresh copies can not be ancestors of the new element: link directly.
        auto childCopy = child->clone();
        copy->link(*childCopy);
        copy->_children.push_back(std::move(childCopy));
    }
    return copy;
}

int Element::index()
{
    if (auto parent = _parent.lock()) {
        const auto& siblings = parent->_children;
        for (std::size_t i = 0; i < siblings.size(); ++i)
            if (siblings[i].get() == this)
                return static_cast<int>(i);
    }
    throw std::logic_error("element is not stored in parent's elements");
}

// ---- ids ---------------------------------------------------------------------------

std::shared_ptr<Element> Element::setId(unsigned int id)
{
    auto self = shared_from_this();
    if (Attr* attr = findAttribute("id"))
        attr->set(std::any(id));
    else
        _attributes.push_back(std::make_shared<Attr>("id", "unsigned int", std::any(id), false));
    return self;
}

unsigned int Element::getId(bool orThrow) const
{
    if (const Attr* attr = findAttribute("id"))
        return std::any_cast<unsigned int>(attr->_value);
    if (orThrow)
        throw std::runtime_error("element does not have 'id' attribute");
    return 0;
}

} // namespace sdf
