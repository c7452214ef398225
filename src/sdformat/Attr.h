#pragma once

// One named, typed value of a document element: an XML attribute, or the
// element's own value (the text between its tags).

#include <sdformat/AttrTemplate.h>
#include <sdformat/Export.h>

#include <any>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

namespace sdf {

namespace detail {
struct InternedNames;
class XmlWriter;
} // namespace detail

class Element;
class ElementTemplate;
class SDF;

class SDF_EXPORT Attr
{
public:
    // Not set until text or a value is given.
    Attr(std::string_view label, std::string_view type, std::any value, bool required);
    // The same with names interned already (see NameIntern), as the
    // document reader makes them.
    Attr(const detail::InternedNames& names, std::any value, bool required);
    // Holds the template's default and reports not set.
    explicit Attr(AttrTemplate& templ);

    Attr(const Attr&);
    Attr(Attr&&) noexcept;
    Attr& operator=(const Attr&);
    Attr& operator=(Attr&&) noexcept;
    ~Attr();

    // Text of the held value, written by the writer of its stored type.
    std::string asString() const;
    // Reads text by the attribute's type name; never fails; marks it set.
    void fromString(std::string_view text);

    bool isRequired() const { return _required; }
    bool isSet() const { return _set; }
    const std::string& label() const { return *_label; }
    const std::string& type() const { return *_type; }

private:
    friend class Element;
    friend class ElementTemplate;
    friend class SDF;
    friend class detail::XmlWriter;
    // Lets the attribute's own tests reach the private operations.
    friend struct AttrTestAccess;

    Attr();

    // Registered name of a stored type; std::out_of_range if unknown.
    static const std::string& Type(const std::type_info& type);

    std::any value() const { return _value; }
    // Assignment of a held value (text types become std::string, an int
    // given to an unsigned int stays unsigned); marks the attribute set.
    void set(const std::any& value);
    // Independent copy, not set.
    std::shared_ptr<Attr> clone() const;

    // Shared copies (see NameIntern): a document holds many attributes
    // and few distinct names.
    const std::string* _label;
    const std::string* _type;
    std::any _value;
    bool _required = false;
    bool _set = false;
};

} // namespace sdf
