#pragma once

// One node of a station document: a label, attributes, at most one value of
// its own, ordered children, the template it was made from and a weak link
// to its parent. Elements live in std::shared_ptr; a parent owns its
// children and a child only observes its parent, so releasing the root
// releases the whole tree.

#include <common/ZrvAssert.h>
#include <sdformat/Attr.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/Export.h>
#include <sdformat/FilterView.h>
#include <sdformat/OrientTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/Vec3Template.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>

#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <iterator>
#include <memory>
#include <ranges>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

namespace sdf {

class SDF;

namespace detail {
class TextPieces;
class XmlWriter;
} // namespace detail

class SDF_EXPORT Element : public std::enable_shared_from_this<Element>
{
public:
    using ElementPtr = std::shared_ptr<Element>;
    using ElementList = std::vector<ElementPtr>;
    using Predicate = std::function<bool(std::shared_ptr<Element>)>;

    // Keeps the children with one label; the characters of the name must
    // outlive it.
    struct HasLabel
    {
        std::string_view name;
        bool operator()(const ElementPtr& child) const { return child->label() == name; }
    };
    // The children with one label, in list order: a lazy view over the live
    // children list (see FilterView).
    using ChildrenView = FilterView<ElementList, HasLabel>;

    // No label, no template, nothing below or above it.
    Element() = default;
    // Shallow: shares the attribute objects, the value and the children with
    // the source, and keeps its template and parent link. The copy is not
    // listed among the parent's children. clone() is the deep copy.
    Element(const Element& other);
    Element& operator=(const Element& other);
    ~Element() = default;

    // ---- structure ------------------------------------------------------

    // The label is the name of the template the element was made from (an
    // element never outlives its template); empty without a template.
    const std::string& label() const { return _template ? _template->_name : EmptyLabel(); }
    // The parent, or empty when there is none or it no longer exists.
    std::shared_ptr<Element> parent() const { return _parent.lock(); }
    const ElementList& elements() const { return _children; }
    // The attributes in order: the template's, then those added later
    // (`id` when the template has none, `type` of an annotated value).
    const std::vector<std::shared_ptr<Attr>>& attributes() const { return _attributes; }
    std::uint64_t count() const { return _children.size(); }
    ChildrenView children(std::string_view name) const { return {_children, HasLabel{name}}; }

    // Position in the parent's children list; std::logic_error
    // "element is not stored in parent's elements" when it is not there.
    int index();

    // Paths are "/"-separated child labels; each piece takes the first child
    // with that label; the empty path is the element itself and an empty
    // piece (leading, trailing or doubled "/") names no child.

    // The element at the path, or empty; creates nothing.
    std::shared_ptr<Element> get(std::string_view path) const;
    // The element at the path, appending what is missing from the templates.
    // On failure the elements made for earlier pieces stay.
    std::shared_ptr<Element> touch(std::string_view path);
    bool exists(std::string_view path) const { return getRaw(path) != nullptr; }

    // A new child from the child template of that name, with its required
    // descendants (depth first, template order), added at the end.
    std::shared_ptr<Element> append(std::string_view name);
    // Links element here and adds it at the end; returns it. The element
    // given to this and to insert() must not be empty (precondition) and must
    // not be this element or one of its ancestors (std::logic_error
    // "element can not be a descendant of itself").
    std::shared_ptr<Element> append(std::shared_ptr<Element> element);
    // A new child (with its required descendants) placed before the
    // same-label sibling that has position index among its kind, or at the
    // very end when index equals the number of such siblings.
    std::shared_ptr<Element> InsertElement(unsigned int index, std::string_view name);
    // Links element here and puts it at that position of the whole list;
    // std::logic_error "index should not exceed elements' count" past the end.
    void insert(unsigned int index, std::shared_ptr<Element> element);
    // Moves a child before the same-label sibling at position index among
    // the others of its kind, or to the very end when there is none.
    void MoveElement(const std::shared_ptr<Element>& element, unsigned int index);

    void remove(const std::shared_ptr<Element>& element);
    // Removes the children of that label that the predicate accepts (all of
    // them when it is empty).
    void remove(std::string_view name, const Predicate& predicate);
    void removeFromParent();
    // Drops the children and this element's own parent link; the element
    // stays listed by its former parent.
    void clear();
    // Deep copy without a parent; attributes and value are fresh, not set.
    std::shared_ptr<Element> clone() const;

    // ---- object ids ------------------------------------------------------

    // Sets the `id` attribute, adding it when missing; returns this element.
    std::shared_ptr<Element> setId(unsigned int id);
    // The `id` attribute's value; without one 0, or std::runtime_error
    // "element does not have 'id' attribute" when orThrow.
    unsigned int getId(bool orThrow = false) const;

    // ---- typed values ------------------------------------------------------

    // The value at the path as its stored type T (a cast, not a conversion:
    // std::bad_any_cast for another type). Missing elements on the path are
    // created.
    template <class T>
    T as(std::string_view path = {})
    {
        Attr* v = valueAt(path);
        ZRV_ASSERT(v, "v", "src/sdformat/Element");
        if (!v)
            ThrowNoValue(path);
        return std::any_cast<const T&>(v->_value);
    }

    // The value at the path as T, or the fallback when no element is there;
    // creates nothing.
    template <class T>
    T valueOr(std::string_view path, T fallback) const
    {
        const Element* el = getRaw(path);
        if (!el)
            return fallback;
        ZRV_ASSERT(el->_value, "el->_value", "src/sdformat/Element");
        if (!el->_value)
            el->ThrowNoValue({});
        return std::any_cast<const T&>(el->_value->_value);
    }

    // The stored type of the value at the path; creates missing elements.
    const std::type_info& type_info(std::string_view path = {})
    {
        Attr* v = valueAt(path);
        ZRV_ASSERT(v, "v", "src/sdformat/Element");
        if (!v)
            ThrowNoValue(path);
        return v->_value.type();
    }

    // Writes value to the element at the path (creating what is missing) and
    // returns this element, not the one written.
    template <class T>
    std::shared_ptr<Element> set(std::string_view path, const T& value)
    {
        auto self = shared_from_this();
        touchRaw(path)->setValue(value);
        return self;
    }

    // Writes this element's own value. The first write to an annotated
    // element creates the value with the written type's registered name and
    // records that name in a `type` attribute; later writes keep both.
    template <class T>
    void setValue(const T& value)
    {
        // What std::any stores for it (an array of characters as a pointer).
        using Stored = std::decay_t<const T&>;
        if (_value) {
            _value->set(std::any(value));
            return;
        }
        ZRV_ASSERT(isAnnotated(), "isAnnotated()", "src/sdformat/Element");
        if (!isAnnotated())
            ThrowNoValue({});
        createAnnotatedValue(std::any(value), Attr::Type(typeid(Stored)));
    }

    bool asBool(std::string_view path = {});
    std::int32_t asInt(std::string_view path = {});
    std::uint32_t asUInt(std::string_view path = {});
    std::uint64_t asUInt64(std::string_view path = {});
    double asDouble(std::string_view path = {});
    std::string asString(std::string_view path = {});
    zrv::rob::Vec3Template<double> asVec3(std::string_view path = {});
    zrv::rob::PosTemplate<double> asPos(std::string_view path = {});
    zrv::rob::OrientTemplate<double> asOrient(std::string_view path = {});
    zrv::rob::PoseTemplate<double> asPose(std::string_view path = {});
    zrv::rob::ToolData asToolData(std::string_view path = {});
    zrv::rob::WObjData asWObjData(std::string_view path = {});

    // Whether the element has a value of its own (typed, or annotated and
    // written); containers never have one.
    bool hasValue() const { return _value != nullptr; }

    // Text of this element's value, or of its `value` child's value.
    std::string getStringFromValue() const;
    // Sets this element's value, or its `value` child's value, from text.
    void setValueFromString(std::string_view text);

    // append(name), then the id and the `name` child; returns the new child.
    std::shared_ptr<Element> appendObject(std::string_view name, unsigned int id, std::string_view objectName);

    // ---- writing -------------------------------------------------------------

    // The element and its subtree as indented XML, each line led by prefix.
    std::string toXMLString(std::string_view prefix) const;

private:
    friend class SDF;
    friend class ElementTemplate;

    static const std::string& EmptyLabel();
    // Where assertions are compiled out, a broken value precondition still
    // ends in an exception rather than in a null dereference:
    // std::logic_error "element '{}' has no value" naming the element at
    // the path.
    [[noreturn]] void ThrowNoValue(std::string_view path) const;

    void toXMLString(std::string_view prefix, std::ostringstream& stream) const;
    // Writes the text form of subtrees (see XmlWriter).
    friend class detail::XmlWriter;
    // The indent, `<`, the label and the attributes.
    void appendStartTag(detail::TextPieces& out, const std::string& indent) const;

    // First child with that label, or empty / nullptr.
    std::shared_ptr<Element> element(std::string_view name) const;
    Element* findChild(std::string_view name) const;
    std::shared_ptr<Attr> attribute(std::string_view name) const;
    Attr* findAttribute(std::string_view name) const;
    // Appends a new required, unset attribute read from text by type name.
    void addAttribute(std::string_view label, std::string_view type, std::string_view text);
    bool isAnnotated() const { return _template && _template->_annotated; }
    bool isRequired() const { return _template && _template->_required; }

    // Path walks without reference counting; the elements stay owned by the
    // tree.
    const Element* getRaw(std::string_view path) const;
    Element* touchRaw(std::string_view path);
    // The value of the element at the path (created as touch does), or
    // nullptr when that element has none.
    Attr* valueAt(std::string_view path);

    // Links child here (it must be owned by a shared pointer already).
    void link(Element& child);
    // An element given from outside must exist and must not be this element
    // or one of its ancestors.
    void checkAdoptable(const std::shared_ptr<Element>& element) const;
    // A new element from templ with its required subtree, not yet linked.
    static std::shared_ptr<Element> SpawnWithRequired(const ElementTemplate& templ);
    void appendRequired();
    void createAnnotatedValue(std::any value, const std::string& typeName);

    // An element made with its value in the same block (see
    // ElementWithValue.h); its _value then owns nothing.
    struct WithValue;
    // _value as a copy elsewhere may hold it: a value kept in this element's
    // block is shared by sharing this element.
    std::shared_ptr<Attr> sharedValue() const;

    std::vector<std::shared_ptr<Attr>> _attributes;
    std::shared_ptr<Attr> _value;
    ElementList _children;
    const ElementTemplate* _template = nullptr;
    std::weak_ptr<Element> _parent;
};

// Writers the library instantiates itself (object names, parent and child
// ids, file names, poses); clients instantiate any other registered type
// from the definitions above.
extern template SDF_EXPORT std::shared_ptr<Element> Element::set<std::string_view>(std::string_view, const std::string_view&);
extern template SDF_EXPORT std::shared_ptr<Element> Element::set<unsigned int>(std::string_view, const unsigned int&);
extern template SDF_EXPORT std::shared_ptr<Element> Element::set<std::string>(std::string_view, const std::string&);
extern template SDF_EXPORT std::shared_ptr<Element> Element::set<zrv::rob::PoseTemplate<double>>(
    std::string_view, const zrv::rob::PoseTemplate<double>&);
extern template SDF_EXPORT void Element::setValue<std::string>(const std::string&);
extern template SDF_EXPORT void Element::setValue<unsigned int>(const unsigned int&);

} // namespace sdf
