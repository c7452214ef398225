#include <zrvrob/ToolData.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

namespace zrv::rob {

std::ostream& operator<<(std::ostream& out, const ToolData& tool)
{
    const auto& load = tool.tload;
    return detail::FieldWriter{}
        .truth(tool.robhold)
        .frame(tool.tframe)
        .number(load.mass)
        .position(load.cog)
        .quaternion(load.aom)
        .number(load.ix)
        .number(load.iy)
        .number(load.iz)
        .writeTo(out);
}

std::istream& operator>>(std::istream& in, ToolData& tool)
{
    auto& load = tool.tload;
    detail::FieldReader(in)
        .truth(tool.robhold)
        .frame(tool.tframe)
        .number(load.mass)
        .position(load.cog)
        .quaternion(load.aom)
        .number(load.ix)
        .number(load.iy)
        .number(load.iz);
    return in;
}

} // namespace zrv::rob
