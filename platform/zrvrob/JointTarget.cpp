#include <zrvrob/JointTarget.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, JointTarget& target) {
    fields.axes(target.robax).axes(target.extax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const JointTarget& target)
{
    return detail::FieldWriter{}.axes(target.robax).axes(target.extax).writeTo(out);
}

std::istream& operator>>(std::istream& in, JointTarget& target)
{
    return detail::ReadRecord(in, target, kReadFields);
}

bool ReadFromText(std::string_view text, JointTarget& target)
{
    return detail::ReadRecord(text, target, kReadFields);
}

} // namespace zrv::rob
