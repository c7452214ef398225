#pragma once

#include <zrvrob/ConfData.h>
#include <zrvrob/Export.h>
#include <zrvrob/ExtJoint.h>
#include <zrvrob/Position.h>
#include <zrvrob/Quaternion.h>

#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob {

// A Cartesian target: position and orientation of the tool, the arm
// configuration and the external axes.
//
// Text form, seventeen fields: trans (x y z), rot (q1 q2 q3 q4), robconf
// (cf1 cf4 cf6 cfx), extax (six numbers); the default is
// "0 0 0 1 0 0 0 0 0 0 0 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09".
struct ZRVROB_EXPORT RobTarget
{
    Position trans;
    Quaternion rot;
    ConfData robconf;
    ExtJoint extax = kNoExtAxes;

    friend bool operator==(const RobTarget&, const RobTarget&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const RobTarget& target);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, RobTarget& target);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, RobTarget& target);

} // namespace zrv::rob
