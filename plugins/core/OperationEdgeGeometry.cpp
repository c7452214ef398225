#include "OperationEdgeGeometry.h"

#include "OperationTravel.h"

#include "cell/FrameMath.h"

#include <QtCore/QByteArray>
#include <QtGui/QVector3D>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace zrv::core {

using namespace cell::frame;

namespace {

// Edge colours, then their arrows' darker shades: none of them the pick's
// blue and green, the selection's magenta, the paths' amber or the red of
// a collision.
constexpr std::array<std::array<const char*, 2>, 5> kPalette{{
    {"#8a2be2", "#40107a"},
    {"#00a6a6", "#004f4f"},
    {"#ff7a1a", "#8f3c00"},
    {"#c2185b", "#5c0a2a"},
    {"#7d5a3c", "#3a2818"},
}};

struct Vertices
{
    QByteArray data;
    QVector3D lo{std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                 std::numeric_limits<float>::infinity()};
    QVector3D hi = -lo;
    float rgba[4] = {0, 0, 0, 1};

    // The view takes vertex colours as linear and writes sRGB: the named
    // colour turned linear is shown as named.
    void colour(const QColor& c)
    {
        const auto linear = [](double v) { return float(v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4)); };
        rgba[0] = linear(c.redF());
        rgba[1] = linear(c.greenF());
        rgba[2] = linear(c.blueF());
    }
    void put(const cell::Vec3d& p)
    {
        const float v[7] = {float(p[0]), float(p[1]), float(p[2]), rgba[0], rgba[1], rgba[2], rgba[3]};
        data.append(reinterpret_cast<const char*>(v), sizeof(v));
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], v[c]);
            hi[c] = std::max(hi[c], v[c]);
        }
    }
    void triangle(const cell::Vec3d& a, const cell::Vec3d& b, const cell::Vec3d& c)
    {
        put(a);
        put(b);
        put(c);
    }
};

// Two unit vectors across a direction.
void Across(const cell::Vec3d& along, cell::Vec3d* side, cell::Vec3d* up)
{
    *side = cell::Normalised(Cross(along, std::abs(along[2]) < 0.9 ? cell::Vec3d{0, 0, 1} : cell::Vec3d{1, 0, 0}),
                             {0, 1, 0});
    *up = Cross(*side, along);
}

// A square tube around the segment, a little longer at both ends to close
// the corners between segments.
void Tube(Vertices& out, const cell::Vec3d& a, const cell::Vec3d& b, double half)
{
    const cell::Vec3d along = cell::Normalised(Sub(b, a), {1, 0, 0});
    cell::Vec3d side, up;
    Across(along, &side, &up);
    const cell::Vec3d from = Sub(a, Scale(along, half));
    const cell::Vec3d to = Add(b, Scale(along, half));
    const cell::Vec3d corner[4] = {Add(Scale(side, half), Scale(up, half)), Add(Scale(side, -half), Scale(up, half)),
                                   Add(Scale(side, -half), Scale(up, -half)), Add(Scale(side, half), Scale(up, -half))};
    for (int c = 0; c < 4; ++c) {
        const cell::Vec3d& p = corner[c];
        const cell::Vec3d& q = corner[(c + 1) % 4];
        out.triangle(Add(from, p), Add(to, p), Add(to, q));
        out.triangle(Add(from, p), Add(to, q), Add(from, q));
    }
}

// A cone from its base's centre to its tip, closed at the base.
void Cone(Vertices& out, const cell::Vec3d& base, const cell::Vec3d& tip, double radius)
{
    constexpr int kSides = 12;
    const cell::Vec3d along = cell::Normalised(Sub(tip, base), {1, 0, 0});
    cell::Vec3d side, up;
    Across(along, &side, &up);
    const auto rim = [&](int k) {
        const double a = 2 * std::numbers::pi * k / kSides;
        return Add(base, Add(Scale(side, radius * std::cos(a)), Scale(up, radius * std::sin(a))));
    };
    for (int k = 0; k < kSides; ++k) {
        out.triangle(rim(k), rim(k + 1), tip);
        out.triangle(rim(k + 1), rim(k), base);
    }
}

} // namespace

OperationEdgeGeometry::OperationEdgeGeometry(QQuick3DObject* parent)
    : QQuick3DGeometry(parent)
{
    rebuild();
}

QColor OperationEdgeGeometry::EdgeColour(int number)
{
    return QColor(kPalette[static_cast<std::size_t>(std::max(number - 1, 0)) % kPalette.size()][0]);
}

QColor OperationEdgeGeometry::ArrowColour(int number)
{
    return QColor(kPalette[static_cast<std::size_t>(std::max(number - 1, 0)) % kPalette.size()][1]);
}

QObject* OperationEdgeGeometry::travel() const
{
    return source.data();
}

void OperationEdgeGeometry::setTravel(QObject* travel)
{
    auto* next = qobject_cast<OperationTravel*>(travel);
    if (next == source)
        return;
    if (source)
        disconnect(source, nullptr, this, nullptr);
    source = next;
    if (source)
        connect(source, &OperationTravel::edgesChanged, this, &OperationEdgeGeometry::rebuild);
    emit travelChanged();
    rebuild();
}

void OperationEdgeGeometry::setThickness(double thickness)
{
    if (!(thickness > 0) || thickness == across)
        return;
    across = thickness;
    emit sizeChanged();
    rebuild();
}

void OperationEdgeGeometry::setArrowLength(double length)
{
    if (!(length > 0) || length == arrow)
        return;
    arrow = length;
    emit sizeChanged();
    rebuild();
}

void OperationEdgeGeometry::rebuild()
{
    Vertices out;
    int number = 0;
    for (const cell::EdgeCurve& curve : source ? source->edges() : std::vector<cell::EdgeCurve>{}) {
        ++number;
        const std::size_t n = curve.points.size();
        if (n < 2)
            continue;
        // Points the way the path runs, each moved onto its face beside the
        // edge: out along the normal, in along the face (normal x the
        // edge's own tangent, as the face's boundary runs counter-clockwise).
        std::vector<cell::Vec3d> way;
        std::vector<cell::Vec3d> lift;
        for (std::size_t k = 0; k < n; ++k) {
            const cell::CurvePoint& p = curve.points[curve.reversed ? n - 1 - k : k];
            const cell::Vec3d inward =
                p.tangent ? cell::Normalised(Cross(p.normal, *p.tangent), {0, 0, 0}) : cell::Vec3d{0, 0, 0};
            way.push_back(p.position);
            lift.push_back(Add(p.normal, inward));
        }
        std::vector<double> at{0};
        for (std::size_t k = 1; k < n; ++k)
            at.push_back(at.back() + Distance(way[k - 1], way[k]));
        const double length = at.back();
        if (!(length > 0))
            continue;

        const double half = across / 2;
        out.colour(EdgeColour(number));
        for (std::size_t k = 1; k < n; ++k)
            if (Distance(way[k - 1], way[k]) > 0)
                Tube(out, Add(way[k - 1], Scale(lift[k - 1], half)), Add(way[k], Scale(lift[k], half)), half);

        // Arrowheads spread along the edge, at most one per five arrow
        // lengths and five in all, an odd number so that one sits at the
        // middle; shorter on an edge too short for one.
        const double size = std::min(arrow, length / 2);
        const int spread = std::clamp(static_cast<int>(length / (5 * size)), 1, 5);
        const int count = spread % 2 == 1 ? spread : spread - 1;
        const double radius = size * 0.3;
        out.colour(ArrowColour(number));
        for (int i = 0; i < count; ++i) {
            const double s = length * (i + 0.5) / count;
            const std::size_t k = std::clamp<std::size_t>(
                static_cast<std::size_t>(std::upper_bound(at.begin(), at.end(), s) - at.begin()), 1, n - 1);
            const double span = at[k] - at[k - 1];
            const double f = span > 0 ? (s - at[k - 1]) / span : 0;
            const cell::Vec3d middle = Lerp(way[k - 1], way[k], f);
            const cell::Vec3d along = cell::Normalised(Sub(way[k], way[k - 1]), {1, 0, 0});
            const cell::Vec3d centre = Add(middle, Scale(Lerp(lift[k - 1], lift[k], f), radius));
            Cone(out, Sub(centre, Scale(along, size / 2)), Add(centre, Scale(along, size / 2)), radius);
        }
    }
    clear();
    setPrimitiveType(QQuick3DGeometry::PrimitiveType::Triangles);
    setStride(7 * sizeof(float));
    addAttribute(QQuick3DGeometry::Attribute::PositionSemantic, 0, QQuick3DGeometry::Attribute::F32Type);
    addAttribute(QQuick3DGeometry::Attribute::ColorSemantic, 3 * sizeof(float), QQuick3DGeometry::Attribute::F32Type);
    if (out.data.isEmpty()) {
        // One degenerate triangle keeps the geometry valid and draws nothing.
        out.triangle({0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    }
    setVertexData(out.data);
    setBounds(out.lo, out.hi);
    update();
}

} // namespace zrv::core
