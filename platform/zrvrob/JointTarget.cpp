#include <zrvrob/JointTarget.h>

#include <zrvrob/RecordFields.h>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& target) {
    fields.axes(target.robax).axes(target.extax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const JointTarget& target)
{
    return detail::WriteRecord(out, target, kFields);
}

std::istream& operator>>(std::istream& in, JointTarget& target)
{
    return detail::ReadRecord(in, target, kFields);
}

bool ReadFromText(std::string_view text, JointTarget& target)
{
    return detail::ReadRecord(text, target, kFields);
}

} // namespace zrv::rob
