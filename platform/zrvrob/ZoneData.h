#pragma once

#include <zrvrob/Export.h>

#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob {

// How closely a motion approaches its target before the next one starts:
// a fine point, or the zone sizes for the tool centre point (mm), its
// reorientation (mm, degrees) and the external axes.
//
// Text form: finep pzone_tcp pzone_ori pzone_eax zone_ori zone_leax
// zone_reax; the default is the fine point "true 0 0 0 0 0 0".
struct ZRVROB_EXPORT ZoneData
{
    bool finep = true;
    double pzone_tcp = 0;
    double pzone_ori = 0;
    double pzone_eax = 0;
    double zone_ori = 0;
    double zone_leax = 0;
    double zone_reax = 0;

    friend bool operator==(const ZoneData&, const ZoneData&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const ZoneData& zone);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, ZoneData& zone);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, ZoneData& zone);

} // namespace zrv::rob
