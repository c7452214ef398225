#include "FaceHit.h"

#include "cell/FrameMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zrv::core {

using namespace cell::frame;

std::optional<FaceHit> FaceHit::Cast(const cell::Geometry& shape, const cell::Vec3d& origin,
                                     const cell::Vec3d& direction)
{
    const auto at = [&](std::uint32_t i) {
        return cell::Vec3d{shape.positions[3 * i], shape.positions[3 * i + 1], shape.positions[3 * i + 2]};
    };
    const std::size_t vertices = shape.vertexCount();
    double best = std::numeric_limits<double>::infinity();
    std::size_t bestTriangle = 0;
    for (std::size_t t = 0; t < shape.triangleCount(); ++t) {
        const std::uint32_t i0 = shape.indices[3 * t], i1 = shape.indices[3 * t + 1], i2 = shape.indices[3 * t + 2];
        if (i0 >= vertices || i1 >= vertices || i2 >= vertices)
            continue;
        // Möller and Trumbore: the ray's parameter and the barycentric
        // coordinates of the hit at once.
        const cell::Vec3d a = at(i0);
        const cell::Vec3d e1 = Sub(at(i1), a);
        const cell::Vec3d e2 = Sub(at(i2), a);
        const cell::Vec3d p = Cross(direction, e2);
        const double det = Dot(e1, p);
        if (std::abs(det) < 1e-12)
            continue;
        const cell::Vec3d s = Sub(origin, a);
        const double u = Dot(s, p) / det;
        if (u < 0 || u > 1)
            continue;
        const cell::Vec3d q = Cross(s, e1);
        const double v = Dot(direction, q) / det;
        if (v < 0 || u + v > 1)
            continue;
        const double along = Dot(e2, q) / det;
        if (along > 0 && along < best) {
            best = along;
            bestTriangle = t;
        }
    }
    if (!std::isfinite(best))
        return std::nullopt;
    const std::int64_t face = shape.faceOfTriangle(bestTriangle);
    if (face < 0)
        return std::nullopt;
    return FaceHit{static_cast<std::uint32_t>(face), Add(origin, Scale(direction, best)), best};
}

double FaceHit::ToPolyline(const std::vector<cell::Vec3d>& points, const cell::Vec3d& point)
{
    double nearest = std::numeric_limits<double>::infinity();
    if (points.size() == 1)
        return Distance(points.front(), point);
    for (std::size_t k = 1; k < points.size(); ++k) {
        const cell::Vec3d d = Sub(points[k], points[k - 1]);
        const double span = Dot(d, d);
        const double f = span > 0 ? std::clamp(Dot(Sub(point, points[k - 1]), d) / span, 0.0, 1.0) : 0.0;
        nearest = std::min(nearest, Distance(Lerp(points[k - 1], points[k], f), point));
    }
    return nearest;
}

std::int64_t FaceHit::NearestEdge(const cell::Geometry& shape, std::uint32_t face, const cell::Vec3d& point)
{
    if (face >= shape.faces.size())
        return -1;
    const auto& edges = shape.faces[face].edges;
    std::int64_t nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    for (std::size_t k = 0; k < edges.size(); ++k) {
        if (edges[k] >= shape.edges.size())
            continue;
        const cell::Geometry::Edge& edge = shape.edges[edges[k]];
        if (edge.degenerate || edge.points.empty())
            continue;
        if (const double d = ToPolyline(edge.points, point); d < best) {
            best = d;
            nearest = static_cast<std::int64_t>(k);
        }
    }
    return nearest;
}

} // namespace zrv::core
