#pragma once

#include <zrvrob/Export.h>
#include <zrvrob/Frame.h>
#include <zrvrob/LoadData.h>

#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob {

// A tool: whether the robot holds it, its tool centre point frame and its
// load.
//
// Text form, nineteen fields: robhold, tframe (x y z q1 q2 q3 q4), mass,
// cog (x y z), aom (q1 q2 q3 q4), ix iy iz; e.g. the default
// "true 0 0 0 1 0 0 0 0 0 0 0 1 0 0 0 0 0 0".
struct ZRVROB_EXPORT ToolData
{
    bool robhold = true;
    Frame tframe;
    LoadData tload;

    friend bool operator==(const ToolData&, const ToolData&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const ToolData& tool);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, ToolData& tool);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, ToolData& tool);

} // namespace zrv::rob
