#include <zrvrob/WObjData.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

#include <utility>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, WObjData& wobj) {
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
    return detail::FieldWriter{}
        .truth(wobj.robhold)
        .truth(wobj.ufprog)
        .text(wobj.ufmec)
        .frame(wobj.uframe)
        .frame(wobj.oframe)
        .writeTo(out);
}

std::istream& operator>>(std::istream& in, WObjData& wobj)
{
    return detail::ReadRecord(in, wobj, kReadFields);
}

bool ReadFromText(std::string_view text, WObjData& wobj)
{
    return detail::ReadRecord(text, wobj, kReadFields);
}

} // namespace zrv::rob
