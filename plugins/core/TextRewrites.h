#pragma once

// Value texts a station was read with that the reader took only in part
// ("0,5236" read as 0, "900mm" as 900). Saving writes what was read, not
// what the user wrote, so the window asks first; and since a check after an
// edit no longer has the file's text, these findings are kept here and
// stay in the problems panel until their value is edited or removed.

#include <sdformat/StationCheck.h>

#include <memory>
#include <string>
#include <vector>

namespace sdf {
class Element;
} // namespace sdf

namespace zrv::core {

class TextRewrites
{
public:
    // Keeps the "value-text" findings among those of the document whose
    // root is root, with each value's text as now held.
    void reset(const std::shared_ptr<sdf::Element>& root, const std::vector<sdf::StationCheck::Finding>& findings);
    void clear() { entries.clear(); }

    // The findings whose value is still in the document and still holds
    // what was read: saving would replace the text the file has.
    std::vector<sdf::StationCheck::Finding> pending() const;

private:
    struct Entry
    {
        std::weak_ptr<sdf::Element> element;
        std::string attribute;   // empty: the element's own value
        std::string heldText;
        sdf::StationCheck::Finding finding;
    };
    std::weak_ptr<sdf::Element> root;
    std::vector<Entry> entries;
};

// The element a document path such as "/sdf/station/part[2]/pose" names
// under root (whose label is the path's first piece), or null; an
// attribute piece ("/@id") is left to the caller in attribute.
std::shared_ptr<sdf::Element> ElementAtDocumentPath(const std::shared_ptr<sdf::Element>& root, std::string_view path,
                                                    std::string* attribute = nullptr);

} // namespace zrv::core
