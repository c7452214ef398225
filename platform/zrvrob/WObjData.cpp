#include <zrvrob/WObjData.h>

#include <zrvrob/RecordFields.h>

#include <utility>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& wobj) {
    fields
        .truth(wobj.robhold)
        .truth(wobj.ufprog)
        .text(wobj.ufmec)
        .frame(wobj.uframe)
        .frame(wobj.oframe);
};

} // namespace

WObjData::WObjData() = default;
WObjData::WObjData(const WObjData& other) = default;
WObjData::WObjData(WObjData&& other) noexcept = default;
WObjData& WObjData::operator=(const WObjData& other) = default;
WObjData& WObjData::operator=(WObjData&& other) noexcept = default;
WObjData::~WObjData() = default;

std::ostream& operator<<(std::ostream& out, const WObjData& wobj)
{
    return detail::WriteRecord(out, wobj, kFields);
}

std::istream& operator>>(std::istream& in, WObjData& wobj)
{
    return detail::ReadRecord(in, wobj, kFields);
}

bool ReadFromText(std::string_view text, WObjData& wobj)
{
    return detail::ReadRecord(text, wobj, kFields);
}

} // namespace zrv::rob
