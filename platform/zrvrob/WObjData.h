#pragma once

#include <zrvrob/Export.h>
#include <zrvrob/Frame.h>

#include <istream>
#include <ostream>
#include <string_view>
#include <string>

namespace zrv::rob {

// A work object: the user frame (fixed, or moved by a mechanical unit) and
// the object frame within it.
//
// Text form, seventeen fields: robhold, ufprog, ufmec (quoted text),
// uframe (x y z q1 q2 q3 q4), oframe (x y z q1 q2 q3 q4); the default is
// false true "" 0 0 0 1 0 0 0 0 0 0 1 0 0 0.
class ZRVROB_EXPORT WObjData
{
public:
    WObjData();
    WObjData(const WObjData& other);
    WObjData(WObjData&& other) noexcept;
    WObjData& operator=(const WObjData& other);
    WObjData& operator=(WObjData&& other) noexcept;
    ~WObjData();

    bool robhold = false;   // the robot holds the work object
    bool ufprog = true;     // the user frame is fixed, not moved by a unit
    std::string ufmec;      // the mechanical unit moving the user frame
    Frame uframe;
    Frame oframe;

    friend bool operator==(const WObjData&, const WObjData&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const WObjData& wobj);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, WObjData& wobj);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, WObjData& wobj);

} // namespace zrv::rob
