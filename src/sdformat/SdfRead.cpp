// Reading station documents: parse with pugixml, check the root and the
// format version, then build the element tree top-down against the
// templates. Strict about names, lenient about counts and order.

#include <sdformat/SDF.h>

#include <sdformat/Element.h>
#include <sdformat/DocumentCheck.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/ElementWithValue.h>
#include <sdformat/MessageText.h>
#include <sdformat/NameIntern.h>
#include <sdformat/ReadArena.h>
#include <sdformat/RootElement.h>
#include <sdformat/ReadState.h>
#include <sdformat/ReadSteps.h>
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

using detail::CollectChildren;
using detail::FindChildTemplate;
using detail::FirstTemplateIndex;
using detail::kParseOptions;
using detail::RepeatedAttribute;
using detail::SeenChildren;
using detail::ChildTemplate;
using detail::TypeAttribute;

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

} // namespace

// Required children the document left out come after those it gave, in
// template order, with their defaults.
void SDF::AppendLeftOut(Element& element, detail::SeenChildren& seen)
{
    const ElementTemplate& templ = *element._template;
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

namespace {

// Element::findAttribute for a name from the parser, without measuring it
// first: elements have few attributes, and their first characters differ.
Attr* FindAttribute(const Element& element, const char* name)
{
    for (const auto& attr : element.attributes())
        if (const std::string& label = attr->label(); label[0] == name[0] && std::strcmp(label.c_str(), name) == 0)
            return attr.get();
    return nullptr;
}

// An attribute from the reading thread's arena, or from the heap when
// reading to check (see SDF::Spawn).
template <class... Args>
std::shared_ptr<Attr> MakeAttr(bool onHeap, Args&&... args)
{
    if (onHeap)
        return std::make_shared<Attr>(std::forward<Args>(args)...);
    return std::allocate_shared<Attr>(detail::ArenaAllocator<Attr>(), std::forward<Args>(args)...);
}

bool IsSdfElement(const pugi::xml_node& node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "sdf") == 0;
}

constexpr const char* kFileFailed = "read sdf file failed";
constexpr const char* kStringFailed = "read sdf string failed";

void ParseFile(const std::filesystem::path& path, pugi::xml_document& document)
{
    // An operating-system error of the query itself passes on as the
    // filesystem_error it is; a directory is not a document either.
    const auto status = path.empty() ? std::filesystem::file_status{} : std::filesystem::status(path);
    if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
        throw std::logic_error(kFileFailed);
    if (!document.load_file(path.c_str(), kParseOptions))
        throw std::logic_error(kFileFailed);
}

void ParseText(std::string_view text, pugi::xml_document& document)
{
    if (!document.load_buffer(text.data(), text.size(), kParseOptions))
        throw std::logic_error(kStringFailed);
}

// read(), with a repeated attribute reported as text that is not
// well-formed XML, which it is.
template <class Read>
auto ReportingRepeats(const char* failure, Read&& read)
{
    try {
        return read();
    } catch (const RepeatedAttribute&) {
        throw std::logic_error(failure);
    }
}

} // namespace

std::shared_ptr<SDF> SDF::ReadSdfFromFile(const std::filesystem::path& path)
{
    pugi::xml_document document;
    ParseFile(path, document);
    return ReportingRepeats(kFileFailed, [&] { return std::shared_ptr<SDF>(new SDF(ReadDoc(document))); });
}

std::shared_ptr<SDF> SDF::ReadSdfFromString(std::string_view text)
{
    pugi::xml_document document;
    ParseText(text, document);
    return ReportingRepeats(kStringFailed, [&] { return std::shared_ptr<SDF>(new SDF(ReadDoc(document))); });
}

void DocumentCheck::CheckSdfFile(const std::filesystem::path& path, const CheckVisitor& visit)
{
    pugi::xml_document document;
    ParseFile(path, document);
    ReportingRepeats(kFileFailed, [&] { SDF::ReadDoc(document, &visit); });
}

void DocumentCheck::CheckSdfString(std::string_view text, const CheckVisitor& visit)
{
    pugi::xml_document document;
    ParseText(text, document);
    ReportingRepeats(kStringFailed, [&] { SDF::ReadDoc(document, &visit); });
}

std::shared_ptr<Element> SDF::ReadDoc(const pugi::xml_document& document, const Visitor* visit)
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
    return ReadXml(root, CreateRootElement(), visit);
}

std::shared_ptr<Element> SDF::ReadXml(pugi::xml_node node, std::shared_ptr<Element> element, const Visitor* visit)
{
    if (!node)
        throw std::runtime_error("null xml node?");
    ZRV_ASSERT(element && element->_template, "element && element->_template", kSource);
    const detail::ReadArenaClaim claim;
    // On the heap: the name table is too large for every caller's stack.
    auto state = std::make_unique<ReadState>();
    const char* text = CollectChildren(node, state->pending);
    const char* typeName = node.attribute("type").value();
    state->visit = visit;
    // Reading to check stays on this thread: it lets each subtree go as
    // soon as it is read.
    if (visit || !ReadOnThreads(node, *element, text, typeName, *state))
        Fill(node, *element, text, typeName, false, 0, *state);
    if (visit)
        VisitKept(*element, 0, *state);
    return element;
}

void SDF::ReadAndVisit(pugi::xml_node node, const ElementTemplate& templ, ReadState& state)
{
    ++state.depth;
    const auto child = ReadChild(node, templ, state);
    VisitKept(*child, state.depth, state);
    --state.depth;
}

void SDF::VisitKept(const Element& element, std::size_t depth, ReadState& state)
{
    for (const auto& child : element._children)
        VisitKept(*child, depth + 1, state);
    (*state.visit)(CheckVisit{element, *element._template, depth});
}

std::shared_ptr<Element> SDF::Spawn(const ElementTemplate& templ, const char* text, const char* typeName,
                                   ReadState& state)
{
    // Reading to check lets each element go as soon as it is read: its
    // blocks come from the heap one by one, so that the next element takes
    // them again, where an arena would only grow.
    if (state.visit)
        return SpawnWith(std::allocator<Element>(), templ, text, typeName, state);
    return SpawnWith(detail::ArenaAllocator<Element>(), templ, text, typeName, state);
}

template <class Allocator>
std::shared_ptr<Element> SDF::SpawnWith(const Allocator& elementAllocator, const ElementTemplate& templ,
                                       const char* text, const char* typeName, ReadState& state)
{
    using AttrAllocator = typename std::allocator_traits<Allocator>::template rebind_alloc<Attr>;
    const AttrAllocator attrAllocator(elementAllocator);
    std::shared_ptr<Element> element;
    if (*typeName) {
        // An annotated value: of the type the `type` attribute names.
        const std::string& type = *state.names.type(typeName);
        auto withValue = Element::WithValue::Make(elementAllocator, state.names.annotated(templ._name, &type),
                                                  ReadValueText(type, text), true);
        withValue->value.markSet();
        element = std::move(withValue);
    } else if (templ.hasValue()) {
        const AttrTemplate& v = templ._value;
        if (*text) {
            auto withValue = Element::WithValue::Make(elementAllocator, state.names.of(v), ReadValueText(v._type, text),
                                                      templ._required);
            withValue->value.markSet();
            element = std::move(withValue);
        } else {
            element = Element::WithValue::Make(elementAllocator, state.names.of(v), v._default, templ._required);
        }
    } else {
        element = std::allocate_shared<Element>(elementAllocator);
    }
    element->_template = &templ;
    element->_attributes.reserve(templ._attributes.size());
    for (const auto& a : templ._attributes)
        element->_attributes.push_back(
            std::allocate_shared<Attr>(attrAllocator, state.names.of(a), a._default, a._required));
    return element;
}

void SDF::FillOwn(pugi::xml_node node, Element& element, const char* text, const char* typeName, bool valueRead,
                  ReadState& state)
{
    // Value. A `type` attribute makes the value one of that type whatever
    // the template says: that is how annotated values come back. Without
    // text it still does, so that an annotated empty text, which the
    // writer writes as a bare tag with its `type`, reads back.
    if (*typeName) {
        if (!valueRead) {
            const std::string& type = *state.names.type(typeName);
            auto value = MakeAttr(state.visit != nullptr, state.names.annotated(element.label(), &type),
                                  ReadValueText(type, text), true);
            value->markSet();
            element._value = std::move(value);
        }
        // Unset until the attribute loop below reads it, like any other.
        if (!element.findAttribute("type")) {
            static const detail::InternedNames* const typeNames =
                detail::InternNames(detail::InternName("type"), detail::InternName("string"));
            element._attributes.push_back(
                MakeAttr(state.visit != nullptr, typeNames, std::any(element._value->type()), true));
        }
    } else if (*text) {
        if (!element._value)
            throw std::runtime_error(
                fmt::format("element '{}' cannot have a value", detail::ForMessage(element.label())));
        if (!valueRead) {
            element._value->_value = ReadValueText(element._value->type(), text);
            element._value->markSet();
        }
    }

    // Attributes, in document order; a `type` consumed above is found here.
    for (pugi::xml_attribute xmlAttr = node.first_attribute(); xmlAttr; xmlAttr = xmlAttr.next_attribute()) {
        Attr* attr = FindAttribute(element, xmlAttr.name());
        if (!attr)
            throw std::runtime_error(
                fmt::format("unknown attribute '{}' in element '{}'", detail::ForMessage(xmlAttr.name()),
                            detail::ForMessage(element.label())));
        if (attr->isSet())
            throw RepeatedAttribute{};
        AssignText(attr->_value, attr->type(), xmlAttr.value());
        attr->markSet();
    }
    for (const auto& attr : element._attributes)
        if (attr->isRequired() && !attr->isSet())
            throw std::runtime_error(
                fmt::format("required attribute '{}' not exist", detail::ForMessage(attr->label())));
}

std::shared_ptr<Element> SDF::ReadChild(pugi::xml_node node, const ElementTemplate& templ, ReadState& state)
{
    const std::size_t children = state.pending.size();
    const char* text = CollectChildren(node, state.pending);
    const char* typeName = TypeAttribute(node);
    auto element = Spawn(templ, text, typeName, state);
    Fill(node, *element, text, typeName, true, children, state);
    return element;
}

void SDF::Adopt(Element& parent, std::shared_ptr<Element> child)
{
    parent.link(*child);
    parent._children.push_back(std::move(child));
}

void SDF::Fill(pugi::xml_node node, Element& element, const char* text, const char* typeName, bool valueRead,
               std::size_t firstChild, ReadState& state)
{
    FillOwn(node, element, text, typeName, valueRead, state);

    // Children, in document order.
    const ElementTemplate& templ = *element._template;
    SeenChildren seen(templ._children.size());
    const ElementTemplate* last = nullptr;
    // One allocation for the children list rather than one per doubling.
    const std::size_t endChild = state.pending.size();
    if (!state.visit)
        element._children.reserve(element._children.size() + (endChild - firstChild));
    for (std::size_t i = firstChild; i < endChild; ++i) {
        // By value: reading the child's subtree grows the pending list.
        const pugi::xml_node xmlChild = state.pending[i];
        const ElementTemplate& childTemplate = ChildTemplate(templ, xmlChild.name(), last);
        seen.mark(static_cast<std::size_t>(&childTemplate - templ._children.data()));
        if (state.visit)
            ReadAndVisit(xmlChild, childTemplate, state);
        else
            Adopt(element, ReadChild(xmlChild, childTemplate, state));
    }
    state.pending.resize(firstChild);
    AppendLeftOut(element, seen);
}

} // namespace sdf
