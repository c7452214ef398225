#include <zrvrob/JointTarget.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

namespace zrv::rob {

std::ostream& operator<<(std::ostream& out, const JointTarget& target)
{
    return detail::FieldWriter{}.axes(target.robax).axes(target.extax).writeTo(out);
}

std::istream& operator>>(std::istream& in, JointTarget& target)
{
    detail::FieldReader(in).axes(target.robax).axes(target.extax);
    return in;
}

} // namespace zrv::rob
