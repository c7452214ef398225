#include <zrvrob/ToolData.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, ToolData& tool) {
    auto& load = tool.tload;
    fields
        .truth(tool.robhold)
        .frame(tool.tframe)
        .number(load.mass)
        .position(load.cog)
        .quaternion(load.aom)
        .number(load.ix)
        .number(load.iy)
        .number(load.iz);
};

} // namespace

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
    return detail::ReadRecord(in, tool, kReadFields);
}

bool ReadFromText(std::string_view text, ToolData& tool)
{
    return detail::ReadRecord(text, tool, kReadFields);
}

} // namespace zrv::rob
