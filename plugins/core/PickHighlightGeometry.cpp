#include "PickHighlightGeometry.h"

#include "FacePick.h"

#include "cell/FrameMath.h"

#include <QtCore/QByteArray>

#include <algorithm>
#include <cmath>
#include <limits>

namespace zrv::core {

using namespace cell::frame;

PickHighlightGeometry::PickHighlightGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    rebuild();
}

QObject* PickHighlightGeometry::pick() const
{
    return source.data();
}

void PickHighlightGeometry::setPick(QObject* pick)
{
    auto* next = qobject_cast<FacePick*>(pick);
    if (next == source)
        return;
    if (source)
        disconnect(source, nullptr, this, nullptr);
    source = next;
    if (source)
        connect(source, &FacePick::changed, this, &PickHighlightGeometry::rebuild);
    emit pickChanged();
    rebuild();
}

void PickHighlightGeometry::setPart(Part part)
{
    if (part == shown)
        return;
    shown = part;
    emit partChanged();
    rebuild();
}

void PickHighlightGeometry::setThickness(double thickness)
{
    if (!(thickness > 0) || thickness == across)
        return;
    across = thickness;
    emit thicknessChanged();
    if (shown == Edge)
        rebuild();
}

void PickHighlightGeometry::rebuild()
{
    QByteArray vertices;
    constexpr float inf = std::numeric_limits<float>::infinity();
    QVector3D lo(inf, inf, inf);
    QVector3D hi(-inf, -inf, -inf);
    const auto put = [&](const cell::Vec3d& p) {
        const float xyz[3] = {float(p[0]), float(p[1]), float(p[2])};
        vertices.append(reinterpret_cast<const char*>(xyz), sizeof(xyz));
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], xyz[c]);
            hi[c] = std::max(hi[c], xyz[c]);
        }
    };
    const cell::Geometry* shape = source ? source->geometry() : nullptr;
    if (shape && source->face() >= 0 && static_cast<std::size_t>(source->face()) < shape->faces.size()) {
        const cell::Geometry::Face& face = shape->faces[static_cast<std::size_t>(source->face())];
        if (shown == Face) {
            // Off the surface by a fraction of a millimetre, so that it is
            // drawn over the shape's own triangles rather than among them.
            const bool normals = shape->normals.size() == shape->positions.size();
            const double lift = std::max(0.05, across * 0.25);
            const std::uint32_t end = std::min<std::uint32_t>(face.firstIndex + face.indexCount,
                                                             static_cast<std::uint32_t>(shape->indices.size()));
            for (std::uint32_t k = face.firstIndex; k < end; ++k) {
                const std::uint32_t i = shape->indices[k];
                if (i >= shape->vertexCount())
                    continue;
                cell::Vec3d p{shape->positions[3 * i], shape->positions[3 * i + 1], shape->positions[3 * i + 2]};
                if (normals)
                    p = Add(p, Scale({shape->normals[3 * i], shape->normals[3 * i + 1], shape->normals[3 * i + 2]}, lift));
                put(p);
            }
        } else if (source->edge() >= 0 && static_cast<std::size_t>(source->edge()) < face.edges.size()) {
            const auto& points = shape->edges[face.edges[static_cast<std::size_t>(source->edge())]].points;
            const double half = across / 2;
            for (std::size_t k = 1; k < points.size(); ++k) {
                const cell::Vec3d& a = points[k - 1];
                const cell::Vec3d& b = points[k];
                const cell::Vec3d along = cell::Normalised(Sub(b, a), {1, 0, 0});
                const cell::Vec3d side = cell::Normalised(
                    Cross(along, std::abs(along[2]) < 0.9 ? cell::Vec3d{0, 0, 1} : cell::Vec3d{1, 0, 0}), {0, 1, 0});
                const cell::Vec3d up = Cross(side, along);
                // The four long sides of a square tube around the segment,
                // a little longer at both ends to close the corners.
                const cell::Vec3d from = Sub(a, Scale(along, half));
                const cell::Vec3d to = Add(b, Scale(along, half));
                const cell::Vec3d corner[4] = {Add(Scale(side, half), Scale(up, half)),
                                               Add(Scale(side, -half), Scale(up, half)),
                                               Add(Scale(side, -half), Scale(up, -half)),
                                               Add(Scale(side, half), Scale(up, -half))};
                for (int c = 0; c < 4; ++c) {
                    const cell::Vec3d& p = corner[c];
                    const cell::Vec3d& q = corner[(c + 1) % 4];
                    put(Add(from, p));
                    put(Add(to, p));
                    put(Add(to, q));
                    put(Add(from, p));
                    put(Add(to, q));
                    put(Add(from, q));
                }
            }
        }
    }
    clear();
    setPrimitiveType(QQuick3DGeometry::PrimitiveType::Triangles);
    setStride(3 * sizeof(float));
    addAttribute(QQuick3DGeometry::Attribute::PositionSemantic, 0, QQuick3DGeometry::Attribute::F32Type);
    if (vertices.isEmpty()) {
        // One degenerate triangle keeps the geometry valid and draws nothing.
        for (int i = 0; i < 3; ++i)
            put({0, 0, 0});
    }
    setVertexData(vertices);
    setBounds(lo, hi);
    update();
}

} // namespace zrv::core
