#include <zrvrob/SpeedData.h>

#include <zrvrob/RecordFields.h>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& speed) {
    fields
        .number(speed.v_tcp)
        .number(speed.v_ori)
        .number(speed.v_leax)
        .number(speed.v_reax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const SpeedData& speed)
{
    return detail::WriteRecord(out, speed, kFields);
}

std::istream& operator>>(std::istream& in, SpeedData& speed)
{
    return detail::ReadRecord(in, speed, kFields);
}

bool ReadFromText(std::string_view text, SpeedData& speed)
{
    return detail::ReadRecord(text, speed, kFields);
}

} // namespace zrv::rob
