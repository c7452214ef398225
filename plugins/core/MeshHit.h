#pragma once

// Where a ray in the station's frame meets the triangles of an object's
// mesh as the view draws them (the geometry cache's shape of its file, at
// the object's place): what a click on a mesh points at, for naming a face
// (FacePick) and for measuring (MeasureTool).

#include "FaceHit.h"

#include "cell/CellLayout.h"
#include "cell/GeometryCache.h"

#include <cstdint>
#include <optional>

namespace zrv::core {

struct MeshHit
{
    const cell::CellLayout::Item* item = nullptr;
    // The shape drawn, in the item's frame.
    cell::GeometryCache::Result shape;
    // In the shape's frame; its distance is also the station's (the place
    // is rigid).
    FaceHit hit;
    cell::Vec3d point{0, 0, 0}; // station frame

    // Nothing when the object has no mesh in the layout, its file can not
    // be read, or the ray (any length but zero) misses its triangles.
    static std::optional<MeshHit> Cast(const cell::CellLayout& layout, std::uint32_t object, const cell::Vec3d& origin,
                                       const cell::Vec3d& direction);
};

} // namespace zrv::core
