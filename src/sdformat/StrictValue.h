#pragma once

// Text a person typed, read strictly as a value of a registered type. The
// document reader reads values as far as they go and never fails (a pose
// "abc" reads as the origin); an editor or a command line wants to refuse
// such text instead and say why. A text is a value of the type when all of
// it is used (white space around it aside), numbers are within the type's
// range and written in full, there are as many components as the type has,
// and doubles are finite unless the text writes "inf" or "nan" itself.
//
//   auto typed = sdf::StrictValue::Parse("pose", "1 2");
//   typed.ok();     // false
//   typed.error();  // "'pose' needs 7 numbers, the text has 2"
//
//   auto pose = sdf::StrictValue::Parse("pose", "1.23456789 0 0 1 0 0 0");
//   pose.storedText();  // "1.23457 0 0 1 0 0 0": what the document will hold
//   pose.changed();     // true: storing rounds the first component
//   pose.notes();       // {"rounded to 6 significant digits"}
//
// To store an accepted value, give storedText() to the element's or
// attribute's text setter (Element::setValueFromString, Attr::fromString):
// it reads back to exactly the value the document keeps.

#include <sdformat/Export.h>

#include <any>
#include <string>
#include <string_view>
#include <vector>

namespace sdf {

class SDF_EXPORT StrictValue
{
public:
    // Reads text as a value of the type registered as typeName ("double",
    // "unsigned int", "pose", "tooldata", ...). Never throws for bad text
    // or an unknown type name: the result says why instead.
    static StrictValue Parse(std::string_view typeName, std::string_view text);

    bool ok() const { return _error.empty(); }
    // Why the text is not a value of the type, naming the type, e.g.
    // "'unsigned int' cannot hold '-1': it is negative"; empty when ok.
    const std::string& error() const { return _error; }
    // The value read, of the type's stored type; empty when not ok.
    const std::any& value() const { return _value; }
    // The text the document holds once the value is stored; empty when not
    // ok.
    const std::string& storedText() const { return _storedText; }
    // Whether the document keeps a value other than the one typed (rounded
    // to the precision the type stores).
    bool changed() const { return _changed; }
    // What a person should know about the value as stored: how it was
    // rounded, an orientation that is not a unit quaternion. Empty when the
    // value is stored as typed and unremarkable.
    const std::vector<std::string>& notes() const { return _notes; }

private:
    friend class StrictValueBuilder;

    std::string _error;
    std::any _value;
    std::string _storedText;
    bool _changed = false;
    std::vector<std::string> _notes;
};

} // namespace sdf
