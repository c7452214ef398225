#include "TextRewrites.h"

#include "ValueSnapshot.h"

#include <sdformat/Attr.h>
#include <sdformat/Element.h>

#include <charconv>

namespace zrv::core {

namespace {

std::shared_ptr<sdf::Attr> AttributeOf(const sdf::Element& element, const std::string& label)
{
    for (const std::shared_ptr<sdf::Attr>& attr : element.attributes())
        if (attr && attr->label() == label)
            return attr;
    return nullptr;
}

// Whether element still hangs under root: a removed subtree keeps its
// elements alive while the undo stack holds it.
bool Attached(const std::shared_ptr<sdf::Element>& element, const sdf::Element* root)
{
    for (std::shared_ptr<sdf::Element> at = element; at; at = at->parent())
        if (at.get() == root)
            return true;
    return false;
}

std::string HeldText(const std::shared_ptr<sdf::Element>& element, const std::string& attribute)
{
    if (attribute.empty())
        return ValueSnapshot::Take(element, nullptr).text;
    const std::shared_ptr<sdf::Attr> attr = AttributeOf(*element, attribute);
    return attr ? attr->asString() : std::string();
}

} // namespace

std::shared_ptr<sdf::Element> ElementAtDocumentPath(const std::shared_ptr<sdf::Element>& root, std::string_view path,
                                                    std::string* attribute)
{
    std::shared_ptr<sdf::Element> at = root;
    bool first = true;
    while (at && !path.empty()) {
        path.remove_prefix(path.front() == '/' ? 1 : 0);
        const std::size_t end = path.find('/');
        std::string_view piece = path.substr(0, end);
        path = end == std::string_view::npos ? std::string_view() : path.substr(end);
        if (piece.empty())
            continue;
        if (piece.front() == '@') {
            if (!path.empty() || !attribute)
                return nullptr;
            *attribute = std::string(piece.substr(1));
            break;
        }
        unsigned int number = 1;
        if (const std::size_t open = piece.find('['); open != std::string_view::npos && piece.back() == ']') {
            const std::string_view digits = piece.substr(open + 1, piece.size() - open - 2);
            if (std::from_chars(digits.data(), digits.data() + digits.size(), number).ec != std::errc() || number == 0)
                return nullptr;
            piece = piece.substr(0, open);
        }
        if (first) {
            // The first piece names the root itself.
            first = false;
            if (piece != at->label() || number != 1)
                return nullptr;
            continue;
        }
        std::shared_ptr<sdf::Element> next;
        for (const std::shared_ptr<sdf::Element>& child : at->children(piece))
            if (--number == 0) {
                next = child;
                break;
            }
        at = next;
    }
    return at;
}

void TextRewrites::reset(const std::shared_ptr<sdf::Element>& documentRoot,
                         const std::vector<sdf::StationCheck::Finding>& findings)
{
    entries.clear();
    root = documentRoot;
    if (!documentRoot)
        return;
    for (const sdf::StationCheck::Finding& finding : findings) {
        if (finding.kind != "value-text" || finding.paths.empty())
            continue;
        Entry entry;
        const std::shared_ptr<sdf::Element> element =
            ElementAtDocumentPath(documentRoot, finding.paths.front(), &entry.attribute);
        if (!element)
            continue;
        entry.element = element;
        entry.heldText = HeldText(element, entry.attribute);
        entry.finding = finding;
        entries.push_back(std::move(entry));
    }
}

std::vector<sdf::StationCheck::Finding> TextRewrites::pending() const
{
    std::vector<sdf::StationCheck::Finding> result;
    const std::shared_ptr<sdf::Element> documentRoot = root.lock();
    for (const Entry& entry : entries) {
        const std::shared_ptr<sdf::Element> element = entry.element.lock();
        if (element && Attached(element, documentRoot.get()) && HeldText(element, entry.attribute) == entry.heldText)
            result.push_back(entry.finding);
    }
    return result;
}

} // namespace zrv::core
