#pragma once

// Reads the white-space separated fields of a record's text form. Internal
// to zrvrob.

#include <zrvrob/ConfData.h>
#include <zrvrob/ExtJoint.h>
#include <zrvrob/FieldRules.h>
#include <zrvrob/Frame.h>

#include <string>
#include <string_view>

namespace zrv::rob::detail {

// The field rules over any source of words: a stream (StreamFields) or a
// text held in memory (TextFields). Both sources cut the text the same way,
// so a record reads to the same value from either.
//
// Numbers are read independently of the locale, so that whatever a writer
// produced is read back the same on any machine. The first field that is
// missing or malformed stops the reading: it and every later field keep
// their values and the source is told (a stream gets failbit).
//
// A source offers:
//   bool word(std::string_view& token)  the next word; false at the end
//   bool quoted(std::string& text)      the next text as std::quoted reads
//                                       it; false (text unchanged) if none
//   void fail()                         a field was missing or malformed
template <class Source>
class FieldReader
{
public:
    explicit FieldReader(Source& source) : _source(source) {}

    // Whether every field so far was read.
    bool ok() const { return _ok; }

    FieldReader& number(double& value) { return parsed(value); }
    FieldReader& number(int& value) { return parsed(value); }
    // "true"/"false", also "1"/"0".
    FieldReader& truth(bool& value) { return parsed(value); }

    // A quoted text as written by FieldWriter::text, or a single word.
    FieldReader& text(std::string& value)
    {
        if (_ok && !_source.quoted(value))
            fail();
        return *this;
    }

    FieldReader& position(Position& value) { return number(value.x).number(value.y).number(value.z); }
    FieldReader& quaternion(Quaternion& value)
    {
        return number(value.w).number(value.x).number(value.y).number(value.z);
    }
    FieldReader& frame(Frame& value) { return position(value.trans).quaternion(value.rot); }
    FieldReader& conf(ConfData& value)
    {
        return number(value.cf1).number(value.cf4).number(value.cf6).number(value.cfx);
    }
    FieldReader& axes(ExtJoint& value)
    {
        for (double& axis : value)
            number(axis);
        return *this;
    }

private:
    template <class T>
    FieldReader& parsed(T& value)
    {
        std::string_view token;
        if (_ok && !(_source.word(token) && ParseField(token, value)))
            fail();
        return *this;
    }

    void fail()
    {
        _ok = false;
        _source.fail();
    }

    Source& _source;
    bool _ok = true;
};

} // namespace zrv::rob::detail
