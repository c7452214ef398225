#pragma once

#include <zrvrob/Export.h>

#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob {

// Velocities of a motion: of the tool centre point (mm/s), of its
// reorientation (degrees/s), of linear and of rotating external axes.
//
// Text form: v_tcp v_ori v_leax v_reax; the default is the common
// "100 500 5000 1000".
struct ZRVROB_EXPORT SpeedData
{
    double v_tcp = 100;
    double v_ori = 500;
    double v_leax = 5000;
    double v_reax = 1000;

    friend bool operator==(const SpeedData&, const SpeedData&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const SpeedData& speed);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, SpeedData& speed);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, SpeedData& speed);

} // namespace zrv::rob
