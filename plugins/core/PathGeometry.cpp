#include "PathGeometry.h"

#include "CellScene.h"

#include <algorithm>
#include <limits>

namespace zrv::core {

PathGeometry::PathGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    rebuild();
}

QObject* PathGeometry::scene() const
{
    return source.data();
}

void PathGeometry::setScene(QObject* scene)
{
    if (CellScene::Follow(source, scene, this, &PathGeometry::rebuild))
        emit sceneChanged();
}

void PathGeometry::rebuild()
{
    QByteArray vertices;
    constexpr float inf = std::numeric_limits<float>::infinity();
    QVector3D lo(inf, inf, inf);
    QVector3D hi(-inf, -inf, -inf);
    int n = 0;
    const auto put = [&](const cell::Vec3d& p) {
        const QVector3D v = CellScene::ToVector(p);
        const float xyz[3] = {v.x(), v.y(), v.z()};
        vertices.append(reinterpret_cast<const char*>(xyz), sizeof(xyz));
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], v[c]);
            hi[c] = std::max(hi[c], v[c]);
        }
    };
    if (const cell::CellLayout* cell = source ? source->layout() : nullptr) {
        for (const cell::CellLayout::Path& path : cell->paths()) {
            if (path.hidden)
                continue;
            for (std::size_t i = 1; i < path.points.size(); ++i) {
                put(path.points[i - 1]);
                put(path.points[i]);
                ++n;
            }
        }
    }
    clear();
    setPrimitiveType(QQuick3DGeometry::PrimitiveType::Lines);
    setStride(3 * sizeof(float));
    addAttribute(QQuick3DGeometry::Attribute::PositionSemantic, 0, QQuick3DGeometry::Attribute::F32Type);
    if (n == 0) {
        // A degenerate segment keeps the geometry valid and draws nothing.
        put({0, 0, 0});
        put({0, 0, 0});
    }
    setVertexData(vertices);
    setBounds(lo, hi);
    update();
    if (n != count) {
        count = n;
        emit segmentsChanged();
    }
}

} // namespace zrv::core
