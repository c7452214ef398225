#include "MeshHit.h"

#include "MeshGeometry.h"

#include "cell/FrameMath.h"

#include <exception>

namespace zrv::core {

std::optional<MeshHit> MeshHit::Cast(const cell::CellLayout& layout, std::uint32_t object, const cell::Vec3d& origin,
                                     const cell::Vec3d& direction)
{
    const cell::CellLayout::Item* item = layout.find(object);
    if (!item || item->shape != cell::CellLayout::Shape::Mesh)
        return std::nullopt;
    MeshHit found;
    found.item = item;
    try {
        cell::LoadOptions options;
        options.fileType = item->meshType;
        found.shape = MeshGeometry::Cache().get(item->mesh, options);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!found.shape)
        return std::nullopt;
    const cell::RigidTransform toShape = item->world.inverse();
    const cell::Vec3d from = toShape.apply(origin);
    const cell::Vec3d along = cell::Normalised(toShape.rotate(direction), {0, 0, 0});
    if (along == cell::Vec3d{0, 0, 0})
        return std::nullopt;
    const auto hit = FaceHit::Cast(*found.shape, from, along);
    if (!hit)
        return std::nullopt;
    found.hit = *hit;
    found.point = item->world.apply(hit->point);
    return found;
}

} // namespace zrv::core
