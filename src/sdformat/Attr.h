#pragma once

// One named, typed value of a document element: an XML attribute, or the
// element's own value (the text between its tags).

#include <sdformat/AttrNames.h>
#include <sdformat/AttrTemplate.h>
#include <sdformat/Export.h>

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <typeinfo>

namespace sdf {

namespace detail {
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
    // The same with a pair of names interned already (see NameIntern), as
    // the document reader makes them.
    Attr(const detail::InternedNames* names, std::any value, bool required);
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

    bool isRequired() const { return (_namesAndFlags & kRequired) != 0; }
    bool isSet() const { return (_namesAndFlags & kSet) != 0; }
    const std::string& label() const { return *names().label; }
    const std::string& type() const { return *names().type; }

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

    static constexpr std::uintptr_t kRequired = 1;
    static constexpr std::uintptr_t kSet = 2;
    static_assert(alignof(detail::InternedNames) > (kRequired | kSet));

    const detail::InternedNames& names() const
    {
        return *reinterpret_cast<const detail::InternedNames*>(_namesAndFlags & ~(kRequired | kSet));
    }
    void markSet() { _namesAndFlags |= kSet; }

    // The shared pair of names (see NameIntern), with the two flags in the
    // low bits of its address: a document holds hundreds of thousands of
    // attributes, and two bools of their own would cost each of them eight
    // bytes more.
    std::uintptr_t _namesAndFlags;
    std::any _value;
};

} // namespace sdf
