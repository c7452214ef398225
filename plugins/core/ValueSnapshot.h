#pragma once

// The exact value of one field, kept so that an edit can be taken back
// without going through text: the text form of a pose keeps 6 significant
// digits, so restoring from text could change a value nobody touched.

#include <any>
#include <memory>
#include <string>

namespace sdf {
class Attr;
class Element;
} // namespace sdf

namespace zrv::core {

struct ValueSnapshot
{
    // The held value of an element (empty for attributes and values of a
    // type the plug-in does not know).
    std::any value;
    // The text form: what attributes are restored from, and the fallback.
    std::string text;

    // The value as it is now: of the attribute when attr is set, else of the
    // element's own value.
    static ValueSnapshot Take(const std::shared_ptr<sdf::Element>& element, const std::shared_ptr<sdf::Attr>& attr);
    // Puts the value back. Exceptions of the library pass through.
    void restore(const std::shared_ptr<sdf::Element>& element, const std::shared_ptr<sdf::Attr>& attr) const;
};

} // namespace zrv::core
