#include "GridGeometry.h"

#include <QtGui/QVector3D>

#include <algorithm>
#include <vector>

namespace zrv::core {

namespace {

// Enough for any cell the view frames; a hostile value cannot make the
// grid take much memory.
constexpr int kMaxLinesPerSide = 200;

} // namespace

GridGeometry::GridGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    setPrimitiveType(PrimitiveType::Lines);
    setStride(3 * sizeof(float));
    addAttribute(Attribute::PositionSemantic, 0, Attribute::F32Type);
    rebuild();
}

void GridGeometry::setSpacing(double value)
{
    if (!(value > 0) || value == step)
        return;
    step = value;
    rebuild();
    emit changed();
}

void GridGeometry::setCount(int value)
{
    value = std::clamp(value, 1, kMaxLinesPerSide);
    if (value == lines)
        return;
    lines = value;
    rebuild();
    emit changed();
}

void GridGeometry::rebuild()
{
    const float extent = static_cast<float>(step * lines);
    std::vector<float> vertices;
    vertices.reserve(static_cast<std::size_t>(2 * lines + 1) * 12);
    for (int i = -lines; i <= lines; ++i) {
        const float at = static_cast<float>(step * i);
        // A line along x at y = at, and one along y at x = at.
        vertices.insert(vertices.end(), {-extent, at, 0, extent, at, 0, at, -extent, 0, at, extent, 0});
    }
    setVertexData(QByteArray(reinterpret_cast<const char*>(vertices.data()),
                             static_cast<qsizetype>(vertices.size() * sizeof(float))));
    setBounds(QVector3D(-extent, -extent, 0), QVector3D(extent, extent, 0));
    update();
}

} // namespace zrv::core
