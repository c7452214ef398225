#pragma once

// A tiny document format written inline, for tests that need children of
// chosen labels side by side (the catalogue's labels rarely repeat next to
// each other).

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <pugixml.hpp>

#include <memory>
#include <stdexcept>

namespace sdf::test {

// r: attribute id; children a (string, "x"), b (container holding a required
// d and an optional e), c (double, 1.5), any (annotated), value (annotated).
inline const ElementTemplate& SmallFormat()
{
    static const ElementTemplate format = [] {
        pugi::xml_document doc;
        const auto parsed = doc.load_string(R"(
            <element name="r" required="1">
              <attribute name="id" type="unsigned int" default="0" required="0"/>
              <element name="a" required="*" type="string" default="x"/>
              <element name="b" required="*">
                <element name="d" required="1" type="bool" default="1"/>
                <element name="e" required="0" type="int" default="3"/>
              </element>
              <element name="c" required="*" type="double" default="1.5"/>
              <element name="any" required="0" type="annotated"/>
              <element name="value" required="0" type="annotated"/>
            </element>)");
        if (!parsed)
            throw std::runtime_error("test format does not parse");
        return ElementTemplate(doc.child("element"));
    }();
    return format;
}

inline std::shared_ptr<Element> SmallRoot() { return SmallFormat().spawn(); }

} // namespace sdf::test
