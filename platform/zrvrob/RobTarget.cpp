#include <zrvrob/RobTarget.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, RobTarget& target) {
    fields
        .position(target.trans)
        .quaternion(target.rot)
        .conf(target.robconf)
        .axes(target.extax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const RobTarget& target)
{
    return detail::FieldWriter{}
        .position(target.trans)
        .quaternion(target.rot)
        .conf(target.robconf)
        .axes(target.extax)
        .writeTo(out);
}

std::istream& operator>>(std::istream& in, RobTarget& target)
{
    return detail::ReadRecord(in, target, kReadFields);
}

bool ReadFromText(std::string_view text, RobTarget& target)
{
    return detail::ReadRecord(text, target, kReadFields);
}

} // namespace zrv::rob
