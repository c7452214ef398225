#pragma once

// Builds the text form of a record: fields separated by single spaces.
// Internal to zrvrob.

#include <zrvrob/ExtJoint.h>
#include <zrvrob/Frame.h>
#include <zrvrob/ConfData.h>

#include <ostream>
#include <string>
#include <string_view>

namespace zrv::rob::detail {

// Numbers are written in the shortest form that reads back to the same
// double, independently of the stream's locale and precision.
class FieldWriter
{
public:
    FieldWriter& number(double value);
    FieldWriter& number(int value);
    FieldWriter& truth(bool value);
    // Always quoted, so that empty texts and texts with spaces survive.
    FieldWriter& text(std::string_view value);

    FieldWriter& position(const Position& value);
    FieldWriter& quaternion(const Quaternion& value);
    FieldWriter& frame(const Frame& value);
    FieldWriter& conf(const ConfData& value);
    FieldWriter& axes(const ExtJoint& value);

    std::ostream& writeTo(std::ostream& out) const;
    const std::string& str() const { return _text; }

private:
    void separate();

    std::string _text;
};

} // namespace zrv::rob::detail
