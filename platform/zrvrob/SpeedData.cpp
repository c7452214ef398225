#include <zrvrob/SpeedData.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, SpeedData& speed) {
    fields
        .number(speed.v_tcp)
        .number(speed.v_ori)
        .number(speed.v_leax)
        .number(speed.v_reax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const SpeedData& speed)
{
    return detail::FieldWriter{}
        .number(speed.v_tcp)
        .number(speed.v_ori)
        .number(speed.v_leax)
        .number(speed.v_reax)
        .writeTo(out);
}

std::istream& operator>>(std::istream& in, SpeedData& speed)
{
    return detail::ReadRecord(in, speed, kReadFields);
}

bool ReadFromText(std::string_view text, SpeedData& speed)
{
    return detail::ReadRecord(text, speed, kReadFields);
}

} // namespace zrv::rob
