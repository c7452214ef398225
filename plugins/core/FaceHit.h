#pragma once

// Where a ray meets a shape's triangles, the face that triangle belongs to,
// and which edge of that face passes nearest to a point: what a click on a
// part names. Everything is in the shape's own frame (millimetres).

#include "cell/Geometry.h"

#include <cstdint>
#include <optional>

namespace zrv::core {

struct FaceHit
{
    std::uint32_t face = 0;
    cell::Vec3d point{0, 0, 0};
    double distance = 0; // along the unit ray

    // The nearest triangle the ray (origin, unit direction) meets, seen
    // from either side: a click hits what is drawn, whichever way its
    // triangles wind. Nothing when it meets none.
    static std::optional<FaceHit> Cast(const cell::Geometry& shape, const cell::Vec3d& origin,
                                       const cell::Vec3d& direction);
    // The index on the face of the edge whose polyline passes nearest to
    // point, or -1 when the face has no edge with points (meshes, spheres).
    static std::int64_t NearestEdge(const cell::Geometry& shape, std::uint32_t face, const cell::Vec3d& point);
    // The distance from point to the polyline.
    static double ToPolyline(const std::vector<cell::Vec3d>& points, const cell::Vec3d& point);
};

} // namespace zrv::core
