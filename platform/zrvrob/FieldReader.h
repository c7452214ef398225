#pragma once

// Reads the white-space separated fields of a record's text form. Internal
// to zrvrob.

#include <zrvrob/ExtJoint.h>
#include <zrvrob/Frame.h>
#include <zrvrob/ConfData.h>

#include <istream>
#include <string>

namespace zrv::rob::detail {

// Numbers are read independently of the stream's locale, so that whatever a
// writer produced is read back the same on any machine. The first field that
// is missing or malformed stops the reading: it and every later field keep
// their values and the stream gets failbit.
class FieldReader
{
public:
    explicit FieldReader(std::istream& in) : _in(in) {}

    FieldReader& number(double& value);
    FieldReader& number(int& value);
    // "true"/"false", also "1"/"0".
    FieldReader& truth(bool& value);
    // A quoted text as written by FieldWriter::text, or a single word.
    FieldReader& text(std::string& value);

    FieldReader& position(Position& value);
    FieldReader& quaternion(Quaternion& value);
    FieldReader& frame(Frame& value);
    FieldReader& conf(ConfData& value);
    FieldReader& axes(ExtJoint& value);

private:
    bool nextToken();
    void fail();

    std::istream& _in;
    std::string _token;
    bool _ok = true;
};

} // namespace zrv::rob::detail
