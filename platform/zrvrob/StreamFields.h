#pragma once

// Words of a record's text taken from a stream, with the stream's own
// extraction. Internal to zrvrob.

#include <istream>
#include <string>
#include <string_view>

namespace zrv::rob::detail {

class StreamFields
{
public:
    explicit StreamFields(std::istream& in) : _in(in) {}

    bool word(std::string_view& token);
    bool quoted(std::string& text);
    void fail() { _in.setstate(std::ios_base::failbit); }

private:
    std::istream& _in;
    std::string _token;
};

} // namespace zrv::rob::detail
