#pragma once

#include <zrvrob/Export.h>
#include <zrvrob/ExtJoint.h>

#include <array>
#include <istream>
#include <ostream>

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

} // namespace zrv::rob
