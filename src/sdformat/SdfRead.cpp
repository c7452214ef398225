// Reading station documents: parse with pugixml, check the root and the
// format version, then build the element tree top-down against the
// templates. Strict about names, lenient about counts and order.

#include <sdformat/SDF.h>

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>
#include <sdformat/RootElement.h>
#include <sdformat/TypeManager.h>

#include <common/ZrvAssert.h>

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string_view>
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

// XML does not allow an attribute twice on one element, but the parser
// lets it pass and the last one would win: `<sdf version='1.0'
// version='2.0'>` would pass the version check and then hold "2.0". Such
// text is treated as the malformed XML it is.
bool RepeatsAnAttribute(const pugi::xml_node& node)
{
    // Elements carry a handful of attributes; many are compared sorted, so
    // that no text can make this quadratic.
    constexpr int kPairwise = 16;
    int count = 0;
    for (pugi::xml_attribute a = node.first_attribute(); a && count <= kPairwise; a = a.next_attribute())
        ++count;
    if (count <= kPairwise) {
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
            for (pugi::xml_attribute b = a.next_attribute(); b; b = b.next_attribute())
                if (std::strcmp(a.name(), b.name()) == 0)
                    return true;
        return false;
    }
    std::vector<std::string_view> names;
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        names.emplace_back(a.name());
    std::sort(names.begin(), names.end());
    return std::adjacent_find(names.begin(), names.end()) != names.end();
}

bool HasRepeatedAttribute(const pugi::xml_document& document)
{
    pugi::xml_node node = document.first_child();
    while (node) {
        if (RepeatsAnAttribute(node))
            return true;
        // Depth first, without recursion: down, else along, else up and along.
        if (pugi::xml_node child = node.first_child()) {
            node = child;
            continue;
        }
        while (node && !node.next_sibling())
            node = node.parent();
        if (node)
            node = node.next_sibling();
    }
    return false;
}

bool IsSdfElement(const pugi::xml_node& node)
{
    return node.type() == pugi::node_element && std::strcmp(node.name(), "sdf") == 0;
}

} // namespace

std::shared_ptr<SDF> SDF::ReadSdfFromFile(const std::filesystem::path& path)
{
    // An operating-system error of the query itself passes on as the
    // filesystem_error it is; a directory is not a document either.
    const auto status = path.empty() ? std::filesystem::file_status{} : std::filesystem::status(path);
    if (!std::filesystem::exists(status) || std::filesystem::is_directory(status))
        throw std::logic_error("read sdf file failed");
    pugi::xml_document document;
    if (!document.load_file(path.c_str()) || HasRepeatedAttribute(document))
        throw std::logic_error("read sdf file failed");
    return std::shared_ptr<SDF>(new SDF(ReadDoc(document)));
}

std::shared_ptr<SDF> SDF::ReadSdfFromString(std::string_view text)
{
    pugi::xml_document document;
    if (!document.load_buffer(text.data(), text.size()) || HasRepeatedAttribute(document))
        throw std::logic_error("read sdf string failed");
    return std::shared_ptr<SDF>(new SDF(ReadDoc(document)));
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
    Fill(node, *element);
    return element;
}

void SDF::Fill(pugi::xml_node node, Element& element)
{
    const ElementTemplate& templ = *element._template;

    // Value. A `type` attribute makes the value one of that type whatever
    // the template says: that is how annotated values come back. Without
    // text it still does, so that an annotated empty text, which the
    // writer writes as a bare tag with its `type`, reads back.
    const char* text = node.text().get();
    const char* typeName = node.attribute("type").value();
    if (*typeName) {
        element.createAnnotatedValue(TypeManager::inst()->fromString(typeName, text), typeName);
    } else if (*text) {
        if (!element._value)
            throw std::runtime_error(fmt::format("element '{}' cannot have a value", element.label()));
        element._value->fromString(text);
    }

    // Attributes, in document order; a `type` consumed above is found here.
    for (pugi::xml_attribute xmlAttr = node.first_attribute(); xmlAttr; xmlAttr = xmlAttr.next_attribute()) {
        Attr* attr = element.findAttribute(xmlAttr.name());
        if (!attr)
            throw std::runtime_error(
                fmt::format("unknown attribute '{}' in element '{}'", xmlAttr.name(), element.label()));
        attr->fromString(xmlAttr.value());
    }
    for (const auto& attr : element._attributes)
        if (attr->isRequired() && !attr->isSet())
            throw std::runtime_error(fmt::format("required attribute '{}' not exist", attr->label()));

    // Children, in document order. Siblings often share a label, so the
    // last template found is tried before the search.
    SeenChildren seen(templ._children.size());
    const ElementTemplate* last = nullptr;
    for (pugi::xml_node xmlChild = node.first_child(); xmlChild; xmlChild = xmlChild.next_sibling()) {
        const char* name = xmlChild.name();
        if (!*name)
            continue;
        const ElementTemplate* childTemplate = last && last->_name == name ? last : &templ.child(name);
        last = childTemplate;
        seen.mark(static_cast<std::size_t>(childTemplate - templ._children.data()));

        auto child = childTemplate->spawn();
        Fill(xmlChild, *child);
        element.link(*child);
        element._children.push_back(std::move(child));
    }

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
