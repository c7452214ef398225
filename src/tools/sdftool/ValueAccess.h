#pragma once

// Which element get and set read and write, decided before the library's
// text readers are called (they take a missing value as a broken
// precondition): the element itself when it has a value, otherwise its
// `value` child, where elements with a user value of free type keep it.

#include "ElementPath.h"

#include <string>
#include <string_view>

namespace sdftool {

// Typed elements always have a value; an annotated element, or any element
// that a document gave a `type`, has one once its type is known, which the
// `type` attribute records.
bool HasValue(const sdf::Element& element, const sdf::ElementTemplate& templ);

// The registered type name of the value of an element that has one.
std::string ValueType(const sdf::Element& element, const sdf::ElementTemplate& templ);

// The element whose value at stands for, or an empty one when neither at
// nor its `value` child has a value.
Located ValueHolder(const Located& at);

// The annotated element at stands for (at or its `value` child) when it has
// no value yet, or an empty one.
Located UntypedHolder(const Located& at);

// Gives the annotated element its first value: text read by the type's
// reader, stored under the type's name and recorded in a `type` attribute.
// Failure for a type name that is not registered.
void WriteFirstValue(sdf::Element& element, std::string_view typeName, std::string_view text);

} // namespace sdftool
