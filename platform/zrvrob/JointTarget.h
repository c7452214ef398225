#pragma once

#include <zrvrob/Export.h>
#include <zrvrob/ExtJoint.h>

#include <array>
#include <istream>
#include <ostream>
#include <string_view>

namespace zrv::rob {

// Positions of the robot's six axes (degrees).
using RobJoint = std::array<double, 6>;

// A target in joint space: the robot's axes and the external axes.
//
// Text form, twelve numbers: robax (six), extax (six); the default is
// "0 0 0 0 0 0 9e+09 9e+09 9e+09 9e+09 9e+09 9e+09".
struct ZRVROB_EXPORT JointTarget
{
    RobJoint robax{};
    ExtJoint extax = kNoExtAxes;

    friend bool operator==(const JointTarget&, const JointTarget&) = default;
};

ZRVROB_EXPORT std::ostream& operator<<(std::ostream& out, const JointTarget& target);
// Reads the fields in order; stops at the first malformed one with failbit.
ZRVROB_EXPORT std::istream& operator>>(std::istream& in, JointTarget& target);
// Reads the text as operator>> reads a stream in the classic locale that
// holds exactly this text, without a stream; false where the stream would
// get failbit.
ZRVROB_EXPORT bool ReadFromText(std::string_view text, JointTarget& target);

} // namespace zrv::rob
