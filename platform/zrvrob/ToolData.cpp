#include <zrvrob/ToolData.h>

#include <zrvrob/RecordFields.h>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& tool) {
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
    return detail::WriteRecord(out, tool, kFields);
}

std::istream& operator>>(std::istream& in, ToolData& tool)
{
    return detail::ReadRecord(in, tool, kFields);
}

bool ReadFromText(std::string_view text, ToolData& tool)
{
    return detail::ReadRecord(text, tool, kFields);
}

} // namespace zrv::rob
