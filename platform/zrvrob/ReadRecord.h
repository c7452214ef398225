#pragma once

// Runs one record's field list over a stream or over a text in memory, so
// that the stream operator and the stream-free reader of a record share
// their rules and cannot drift apart. Internal to zrvrob.

#include <zrvrob/FieldReader.h>
#include <zrvrob/StreamFields.h>
#include <zrvrob/TextFields.h>

#include <istream>
#include <string_view>

namespace zrv::rob::detail {

// readFields(FieldReader<Source>&, Record&) lists the record's fields in
// text order; it is called with a reader over either source.
template <class Record, class ReadFields>
std::istream& ReadRecord(std::istream& in, Record& record, ReadFields readFields)
{
    StreamFields source(in);
    FieldReader fields(source);
    readFields(fields, record);
    return in;
}

template <class Record, class ReadFields>
bool ReadRecord(std::string_view text, Record& record, ReadFields readFields)
{
    TextFields source(text);
    FieldReader fields(source);
    readFields(fields, record);
    return fields.ok();
}

} // namespace zrv::rob::detail
