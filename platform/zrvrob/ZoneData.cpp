#include <zrvrob/ZoneData.h>

#include <zrvrob/FieldReader.h>
#include <zrvrob/FieldWriter.h>

namespace zrv::rob {

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
    detail::FieldReader(in)
        .truth(zone.finep)
        .number(zone.pzone_tcp)
        .number(zone.pzone_ori)
        .number(zone.pzone_eax)
        .number(zone.zone_ori)
        .number(zone.zone_leax)
        .number(zone.zone_reax);
    return in;
}

} // namespace zrv::rob
