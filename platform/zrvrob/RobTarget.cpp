#include <zrvrob/RobTarget.h>

#include <zrvrob/RecordFields.h>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& target) {
    fields
        .position(target.trans)
        .quaternion(target.rot)
        .conf(target.robconf)
        .axes(target.extax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const RobTarget& target)
{
    return detail::WriteRecord(out, target, kFields);
}

std::istream& operator>>(std::istream& in, RobTarget& target)
{
    return detail::ReadRecord(in, target, kFields);
}

bool ReadFromText(std::string_view text, RobTarget& target)
{
    return detail::ReadRecord(text, target, kFields);
}

} // namespace zrv::rob
