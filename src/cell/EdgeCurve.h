#pragma once

// What path generation works on, whichever source filled it: one edge of a
// part or of a manufacturing feature as a polyline in the world frame
// (millimetres), with the surface normal at each point (pointing out of the
// material, the side the tool comes from) and, where the source knows it,
// the tangent. Points run in the edge's own direction; `reversed` asks the
// generator to run it the other way.

#include "cell/RigidTransform.h"

#include <optional>
#include <vector>

namespace cell {

struct CurvePoint
{
    Vec3d position{0, 0, 0};
    Vec3d normal{0, 0, 1};
    std::optional<Vec3d> tangent; // along the edge's own direction
};

struct EdgeCurve
{
    std::vector<CurvePoint> points;
    bool reversed = false;
};

} // namespace cell
