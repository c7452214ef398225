#include <zrvrob/RobTarget.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

namespace zrv::rob {

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
    detail::FieldReader(in)
        .position(target.trans)
        .quaternion(target.rot)
        .conf(target.robconf)
        .axes(target.extax);
    return in;
}

} // namespace zrv::rob
