#pragma once

#include <array>

namespace zrv::rob {

// The value robot programs give an external axis that is not in use.
inline constexpr double kExtAxisUnused = 9e9;

// Positions of the six external axes; unused axes hold kExtAxisUnused.
using ExtJoint = std::array<double, 6>;

inline constexpr ExtJoint kNoExtAxes{kExtAxisUnused, kExtAxisUnused, kExtAxisUnused,
                                     kExtAxisUnused, kExtAxisUnused, kExtAxisUnused};

} // namespace zrv::rob
