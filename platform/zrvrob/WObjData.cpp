#include <zrvrob/WObjData.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

#include <utility>

namespace zrv::rob {

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
    detail::FieldReader(in)
        .truth(wobj.robhold)
        .truth(wobj.ufprog)
        .text(wobj.ufmec)
        .frame(wobj.uframe)
        .frame(wobj.oframe);
    return in;
}

} // namespace zrv::rob
