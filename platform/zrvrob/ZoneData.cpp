#include <zrvrob/ZoneData.h>

#include <zrvrob/FieldWriter.h>
#include <zrvrob/ReadRecord.h>

namespace zrv::rob {
namespace {

// The fields in text order, for both the stream and the in-memory reader.
constexpr auto kReadFields = [](auto& fields, ZoneData& zone) {
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
    return detail::FieldWriter{}
        .truth(zone.finep)
        .number(zone.pzone_tcp)
        .number(zone.pzone_ori)
        .number(zone.pzone_eax)
        .number(zone.zone_ori)
        .number(zone.zone_leax)
        .number(zone.zone_reax)
        .writeTo(out);
}

std::istream& operator>>(std::istream& in, ZoneData& zone)
{
    return detail::ReadRecord(in, zone, kReadFields);
}

bool ReadFromText(std::string_view text, ZoneData& zone)
{
    return detail::ReadRecord(text, zone, kReadFields);
}

} // namespace zrv::rob
