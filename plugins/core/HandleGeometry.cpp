#include "HandleGeometry.h"

#include <QtGui/QVector3D>

#include <cmath>
#include <numbers>
#include <vector>

namespace zrv::core {

namespace {

constexpr int kSides = 12;
constexpr float kShaftRadius = 0.022f;
constexpr float kConeRadius = 0.075f;
constexpr float kConeStart = 0.76f;
constexpr int kRingSegments = 72;
constexpr float kTubeRadius = 0.018f;

void Triangle(std::vector<QVector3D>& out, QVector3D a, QVector3D b, QVector3D c)
{
    out.push_back(a);
    out.push_back(b);
    out.push_back(c);
}

QVector3D Around(float radius, int side, float z)
{
    const double angle = 2 * std::numbers::pi * side / kSides;
    return {radius * float(std::cos(angle)), radius * float(std::sin(angle)), z};
}

std::vector<QVector3D> Arrow()
{
    std::vector<QVector3D> out;
    for (int k = 0; k < kSides; ++k) {
        // The shaft's side, the cone's base and its mantle.
        const QVector3D a0 = Around(kShaftRadius, k, 0), a1 = Around(kShaftRadius, k + 1, 0);
        const QVector3D b0 = Around(kShaftRadius, k, kConeStart), b1 = Around(kShaftRadius, k + 1, kConeStart);
        Triangle(out, a0, a1, b1);
        Triangle(out, a0, b1, b0);
        const QVector3D c0 = Around(kConeRadius, k, kConeStart), c1 = Around(kConeRadius, k + 1, kConeStart);
        Triangle(out, QVector3D(0, 0, kConeStart), c1, c0);
        Triangle(out, c0, c1, QVector3D(0, 0, 1));
    }
    return out;
}

std::vector<QVector3D> Ring()
{
    std::vector<QVector3D> out;
    const auto at = [](int segment, int side) {
        const double u = 2 * std::numbers::pi * segment / kRingSegments;
        const double v = 2 * std::numbers::pi * side / kSides;
        const double r = 1 + kTubeRadius * std::cos(v);
        return QVector3D(float(r * std::cos(u)), float(r * std::sin(u)), float(kTubeRadius * std::sin(v)));
    };
    for (int s = 0; s < kRingSegments; ++s) {
        for (int k = 0; k < kSides; ++k) {
            Triangle(out, at(s, k), at(s + 1, k), at(s + 1, k + 1));
            Triangle(out, at(s, k), at(s + 1, k + 1), at(s, k + 1));
        }
    }
    return out;
}

} // namespace

HandleGeometry::HandleGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    build();
}

void HandleGeometry::setPart(Part value)
{
    if (value == shape)
        return;
    shape = value;
    build();
    emit partChanged();
}

void HandleGeometry::build()
{
    const std::vector<QVector3D> vertices = shape == Part::Arrow ? Arrow() : Ring();
    clear();
    setPrimitiveType(PrimitiveType::Triangles);
    setStride(sizeof(QVector3D));
    addAttribute(Attribute::PositionSemantic, 0, Attribute::F32Type);
    setVertexData(QByteArray(reinterpret_cast<const char*>(vertices.data()),
                             qsizetype(vertices.size() * sizeof(QVector3D))));
    const float reach = shape == Part::Arrow ? kConeRadius : 1 + kTubeRadius;
    setBounds(QVector3D(-reach, -reach, shape == Part::Arrow ? 0.f : -kTubeRadius),
              QVector3D(reach, reach, shape == Part::Arrow ? 1.f : kTubeRadius));
    update();
}

} // namespace zrv::core
