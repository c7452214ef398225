// Reading station documents: parse with pugixml, check the root and the
// format version, then build the element tree top-down against the
// templates. Strict about names, lenient about counts and order.

#include <sdformat/SDF.h>

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/MessageText.h>
#include <sdformat/NameIntern.h>
#include <sdformat/ReadArena.h>
#include <sdformat/RootElement.h>
#include <sdformat/ValueText.h>

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace sdf {

namespace {

constexpr const char* kSource = "src/sdformat/SDF";

// Which child templates of one element the document gave, by position in
// the template. Kept on the stack for ordinary templates: one is made per
// element read.
class SeenChildren
{
public:
    explicit SeenChildren(std::size_t count)
    {
        if (count > kInline * 64) {
            _heap.assign((count + 63) / 64, 0);
            _bits = _heap.data();
        }
    }

    void mark(std::size_t index) { _bits[index / 64] |= std::uint64_t{1} << (index % 64); }
    bool has(std::size_t index) const { return (_bits[index / 64] >> (index % 64)) & 1U; }

private:
    static constexpr std::size_t kInline = 4;
    std::array<std::uint64_t, kInline> _inline{};
    std::vector<std::uint64_t> _heap;
    std::uint64_t* _bits = _inline.data();
};

// Position of the first child template called name: the one that
// appending or touching by that name uses.
std::size_t FirstTemplateIndex(const ElementTemplate& parent, std::size_t index)
{
    const std::string& name = parent._children[index]._name;
    for (std::size_t i = 0; i < index; ++i)
        if (parent._children[i]._name == name)
            return i;
    return index;
}

// XML allows an attribute only once on an element, but the parser lets a
// repeat pass and the last one would win: `<sdf version='1.0'
// version='2.0'>` would pass the version check and then hold "2.0". Filling
// finds repeats as it goes (an attribute set twice) and reports them with
// this, which the entry points turn into their malformed-XML error.
struct RepeatedAttribute
{
};

// The value of a type read from text into held. A text value takes the
// characters into the string it holds already, which saves an allocation
// per `type` of an annotated value.
void AssignText(std::any& held, const std::string& type, std::string_view text)
{
    if (std::string* current = std::any_cast<std::string>(&held); current && type == "string")
        current->assign(text);
    else
        held = ReadValueText(type, text);
}

// One pass over a node's children: its element children go onto pending
// (in order), and its text is returned (the first text child, as
// pugixml's text() finds it; "" without one). Walking pugixml's nodes is
// a good part of reading, so each child list is walked once only.
const char* CollectChildren(pugi::xml_node node, std::vector<pugi::xml_node>& pending)
{
    const char* text = nullptr;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        const pugi::xml_node_type type = child.type();
        if (type == pugi::node_element)
            pending.push_back(child);
        else if (!text && (type == pugi::node_pcdata || type == pugi::node_cdata))
            text = child.value();
    }
    return text ? text : "";
}

bool IsSdfElement(const pugi::xml_node& node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "sdf") == 0;
}

} // namespace

// The interned names of the attributes made during one read. Templates do
// not change while a document is read, so a template's names are found by
// its address; the type names of annotated values are few and compared as
// text.
class SDF::ReadNames
{
public:
    detail::InternedNames of(const AttrTemplate& templ)
    {
        const auto key = reinterpret_cast<std::uintptr_t>(&templ);
        Entry& entry = _byTemplate[(key >> 4 ^ key >> 12) % kEntries];
        if (entry.templ != &templ)
            entry = {&templ, {detail::InternName(templ._label), detail::InternName(templ._type)}};
        return entry.names;
    }

    const std::string* type(std::string_view text)
    {
        for (const std::string* known : _types)
            if (*known == text)
                return known;
        _types.push_back(detail::InternName(text));
        return _types.back();
    }

private:
    struct Entry
    {
        const AttrTemplate* templ = nullptr;
        detail::InternedNames names{};
    };
    static constexpr std::size_t kEntries = 512;
    std::array<Entry, kEntries> _byTemplate{};
    std::vector<const std::string*> _types;
};

struct SDF::ReadState
{
    // Spelled out: clang 14 cannot build an aggregate from parentheses.
    explicit ReadState(detail::ReadArena& from)
        : arena(from)
    {
    }

    detail::ReadArena& arena;
    std::vector<pugi::xml_node> pending;
    SDF::ReadNames names;
};

std::shared_ptr<SDF> SDF::ReadSdfFromFile(const std::filesystem::path& path)
{
    // An operating-system error of the query itself passes on as the
    // filesystem_error it is; a directory is not a document either.
    const auto status = path.empty() ? std::filesystem::file_status{} : std::filesystem::status(path);
    if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
        throw std::logic_error("read sdf file failed");
    pugi::xml_document document;
    if (!document.load_file(path.c_str()))
        throw std::logic_error("read sdf file failed");
    try {
        return std::shared_ptr<SDF>(new SDF(ReadDoc(document)));
    } catch (const RepeatedAttribute&) {
        throw std::logic_error("read sdf file failed");
    }
}

std::shared_ptr<SDF> SDF::ReadSdfFromString(std::string_view text)
{
    pugi::xml_document document;
    if (!document.load_buffer(text.data(), text.size()))
        throw std::logic_error("read sdf string failed");
    try {
        return std::shared_ptr<SDF>(new SDF(ReadDoc(document)));
    } catch (const RepeatedAttribute&) {
        throw std::logic_error("read sdf string failed");
    }
}

std::shared_ptr<Element> SDF::ReadDoc(const pugi::xml_document& document)
{
    pugi::xml_node root;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (IsSdfElement(node)) {
            root = node;
            break;
        }
    }
    if (!root)
        throw std::runtime_error("ReadDoc error");
    const pugi::xml_attribute version = root.attribute("version");
    if (!version)
        throw std::logic_error("no version");
    if (std::strcmp(version.value(), "1.0") != 0)
        throw std::logic_error("wrong version");
    return ReadXml(root, CreateRootElement());
}

std::shared_ptr<Element> SDF::ReadXml(pugi::xml_node node, std::shared_ptr<Element> element)
{
    if (!node)
        throw std::runtime_error("null xml node?");
    ZRV_ASSERT(element && element->_template, "element && element->_template", kSource);
    const detail::ReadArenaClaim claim;
    // On the heap: the name table is too large for every caller's stack.
    auto state = std::make_unique<ReadState>(claim.arena());
    const char* text = CollectChildren(node, state->pending);
    Fill(node, *element, text, node.attribute("type").value(), false, 0, *state);
    return element;
}

std::shared_ptr<Element> SDF::Spawn(const ElementTemplate& templ, const char* text, bool typed, ReadState& state)
{
    detail::ReadArena& arena = state.arena;
    const detail::ArenaAllocator<Element> elementAllocator(arena);
    const detail::ArenaAllocator<Attr> attrAllocator(arena);
    auto element = std::allocate_shared<Element>(elementAllocator);
    element->_template = &templ;
    element->_attributes.reserve(templ._attributes.size());
    for (const auto& a : templ._attributes)
        element->_attributes.push_back(
            std::allocate_shared<Attr>(attrAllocator, state.names.of(a), a._default, a._required));
    if (templ.hasValue() && !typed) {
        const AttrTemplate& v = templ._value;
        if (*text) {
            element->_value =
                std::allocate_shared<Attr>(attrAllocator, state.names.of(v), ReadValueText(v._type, text), templ._required);
            element->_value->_set = true;
        } else {
            element->_value = std::allocate_shared<Attr>(attrAllocator, state.names.of(v), v._default, templ._required);
        }
    }
    return element;
}

void SDF::Fill(pugi::xml_node node, Element& element, const char* text, const char* typeName, bool valueRead,
               std::size_t firstChild, ReadState& state)
{
    const ElementTemplate& templ = *element._template;
    detail::ReadArena& arena = state.arena;

    // Value. A `type` attribute makes the value one of that type whatever
    // the template says: that is how annotated values come back. Without
    // text it still does, so that an annotated empty text, which the
    // writer writes as a bare tag with its `type`, reads back.
    if (*typeName) {
        const std::string& type = *state.names.type(typeName);
        const detail::ArenaAllocator<Attr> attrAllocator(arena);
        const detail::InternedNames names{detail::InternName(element.label()), &type};
        auto value = std::allocate_shared<Attr>(attrAllocator, names, ReadValueText(type, text), true);
        value->_set = true;
        element._value = std::move(value);
        // Unset until the attribute loop below reads it, like any other.
        if (!element.findAttribute("type"))
            element._attributes.push_back(
                std::allocate_shared<Attr>(attrAllocator, "type", "string", std::any(type), true));
    } else if (*text) {
        if (!element._value)
            throw std::runtime_error(
                fmt::format("element '{}' cannot have a value", detail::ForMessage(element.label())));
        if (!valueRead) {
            element._value->_value = ReadValueText(*element._value->_type, text);
            element._value->_set = true;
        }
    }

    // Attributes, in document order; a `type` consumed above is found here.
    for (pugi::xml_attribute xmlAttr = node.first_attribute(); xmlAttr; xmlAttr = xmlAttr.next_attribute()) {
        Attr* attr = element.findAttribute(xmlAttr.name());
        if (!attr)
            throw std::runtime_error(
                fmt::format("unknown attribute '{}' in element '{}'", detail::ForMessage(xmlAttr.name()),
                            detail::ForMessage(element.label())));
        if (attr->_set)
            throw RepeatedAttribute{};
        AssignText(attr->_value, *attr->_type, xmlAttr.value());
        attr->_set = true;
    }
    for (const auto& attr : element._attributes)
        if (attr->isRequired() && !attr->isSet())
            throw std::runtime_error(
                fmt::format("required attribute '{}' not exist", detail::ForMessage(attr->label())));

    // Children, in document order. Siblings often share a label, so the
    // last template found is tried before the search.
    SeenChildren seen(templ._children.size());
    const ElementTemplate* last = nullptr;
    // One allocation for the children list rather than one per doubling.
    const std::size_t endChild = state.pending.size();
    element._children.reserve(element._children.size() + (endChild - firstChild));
    for (std::size_t i = firstChild; i < endChild; ++i) {
        // By value: reading the child's subtree grows the pending list.
        const pugi::xml_node xmlChild = state.pending[i];
        const std::string_view name = xmlChild.name();
        const ElementTemplate* childTemplate = last && last->_name == name ? last : &templ.child(name);
        last = childTemplate;
        seen.mark(static_cast<std::size_t>(childTemplate - templ._children.data()));

        const std::size_t grandchildren = state.pending.size();
        const char* childText = CollectChildren(xmlChild, state.pending);
        const char* childType = xmlChild.attribute("type").value();
        auto child = Spawn(*childTemplate, childText, *childType != '\0', state);
        Fill(xmlChild, *child, childText, childType, true, grandchildren, state);
        element.link(*child);
        element._children.push_back(std::move(child));
    }
    state.pending.resize(firstChild);

    // Required children the document left out come after those it gave,
    // in template order, with their defaults.
    for (std::size_t i = 0; i < templ._children.size(); ++i) {
        if (!templ._children[i]._required)
            continue;
        const std::size_t first = FirstTemplateIndex(templ, i);
        if (seen.has(first))
            continue;
        element.append(templ._children[i]._name);
        seen.mark(first);
    }
}

} // namespace sdf
