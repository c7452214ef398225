#include <zrvrob/ZoneData.h>

#include <zrvrob/RecordFields.h>

namespace zrv::rob {
namespace {

// The fields in text order, for reading from a stream or a text and for
// writing.
constexpr auto kFields = [](auto& fields, auto& zone) {
    fields
        .truth(zone.finep)
        .number(zone.pzone_tcp)
        .number(zone.pzone_ori)
        .number(zone.pzone_eax)
        .number(zone.zone_ori)
        .number(zone.zone_leax)
        .number(zone.zone_reax);
};

} // namespace

std::ostream& operator<<(std::ostream& out, const ZoneData& zone)
{
    return detail::WriteRecord(out, zone, kFields);
}

std::istream& operator>>(std::istream& in, ZoneData& zone)
{
    return detail::ReadRecord(in, zone, kFields);
}

bool ReadFromText(std::string_view text, ZoneData& zone)
{
    return detail::ReadRecord(text, zone, kFields);
}

} // namespace zrv::rob
