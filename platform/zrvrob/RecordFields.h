#pragma once

// Runs one record's field list over a stream or a text in memory to read
// it, or over a writer to write it: the stream operators and the
// stream-free reader of a record share one list of its fields and cannot
// drift apart. Internal to zrvrob.

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>
#include <zrvrob/StreamFields.h>
#include <zrvrob/TextFields.h>

#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob::detail {

// fields(FieldReader<Source>& or FieldWriter&, Record&) lists the record's
// fields in text order; it is called with a reader over either source, or
// with a writer and the record as const.
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

template <class Record, class Fields>
std::ostream& WriteRecord(std::ostream& out, const Record& record, Fields fields)
{
    FieldWriter writer;
    fields(writer, record);
    return writer.writeTo(out);
}

} // namespace zrv::rob::detail
