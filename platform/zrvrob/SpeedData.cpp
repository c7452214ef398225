#include <zrvrob/SpeedData.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

namespace zrv::rob {

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
    detail::FieldReader(in)
        .number(speed.v_tcp)
        .number(speed.v_ori)
        .number(speed.v_leax)
        .number(speed.v_reax);
    return in;
}

} // namespace zrv::rob
