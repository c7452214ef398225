#include "cell/OperationEdges.h"

#include "cell/FrameMath.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <string>

namespace cell {

using namespace frame;

namespace {

constexpr double kDegree = std::numbers::pi / 180;

std::string NameOf(const sdf::Element& object)
{
    const std::string name = object.valueOr<std::string>("name", std::string());
    return name.empty() ? fmt::format("{}", object.getId(false)) : name;
}

std::string Lower(std::string text)
{
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct FeatureVector
{
    double t = 0;
    Vec3d ijk{0, 0, 1};
    double twist = 0;
    double tilt = 0;
};

// The normal turned by twist about the tangent, then tilted towards it.
Vec3d Turned(const Vec3d& normal, const Vec3d& tangent, double twist, double tilt)
{
    const Vec3d twisted = RigidTransform::Rotation(tangent, twist * kDegree).rotate(normal);
    const Vec3d axis = Normalised(Cross(twisted, tangent), AnyPerpendicular(tangent));
    return RigidTransform::Rotation(axis, tilt * kDegree).rotate(twisted);
}

std::vector<double> ArcLengths(const std::vector<CurvePoint>& points)
{
    std::vector<double> c{0};
    for (std::size_t i = 1; i < points.size(); ++i)
        c.push_back(c.back() + Distance(points[i - 1].position, points[i].position));
    return c;
}

CurvePoint PointAt(const std::vector<CurvePoint>& points, const std::vector<double>& c, double s)
{
    const auto k = static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(
        std::upper_bound(c.begin(), c.end(), s) - c.begin() - 1, 0, static_cast<std::ptrdiff_t>(points.size()) - 2));
    const double span = c[k + 1] - c[k];
    const double f = span > 0 ? std::clamp((s - c[k]) / span, 0.0, 1.0) : 0.0;
    return {Lerp(points[k].position, points[k + 1].position, f),
            Normalised(Lerp(points[k].normal, points[k + 1].normal, f), points[k].normal), std::nullopt};
}

// The part of the curve from `head` after its start to `tail` before its end.
void Trim(std::vector<CurvePoint>& points, double head, double tail, const std::string& what)
{
    if (head <= 0 && tail <= 0)
        return;
    const auto c = ArcLengths(points);
    const double length = c.back();
    if (head + tail >= length)
        throw std::runtime_error(fmt::format("{}: pathstart and pathend distances ({} + {} mm) leave nothing of its {} mm",
                                             what, head, tail, length));
    std::vector<CurvePoint> kept{PointAt(points, c, std::max(head, 0.0))};
    for (std::size_t i = 0; i < points.size(); ++i)
        if (c[i] > head && c[i] < length - tail)
            kept.push_back(points[i]);
    kept.push_back(PointAt(points, c, length - std::max(tail, 0.0)));
    points = std::move(kept);
}

} // namespace

OperationEdges::OperationEdges(std::shared_ptr<sdf::Element> root, const CellLayout& layout,
                               std::filesystem::path baseDirectory, PartGeometry geometry)
    : rootElement(std::move(root))
    , cell(layout)
    , baseDir(std::move(baseDirectory))
    , parts(std::move(geometry))
{
}

std::vector<Vec3d> OperationEdges::ReadXyz(const std::filesystem::path& file)
{
    std::ifstream in(file);
    if (!in)
        throw std::runtime_error(fmt::format("{}: cannot be read", file.string()));
    std::vector<Vec3d> points;
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        const char* p = line.data();
        const char* end = p + line.size();
        const auto skip = [&] {
            while (p != end && std::isspace(static_cast<unsigned char>(*p)))
                ++p;
        };
        skip();
        if (p == end)
            continue;
        Vec3d v{};
        for (double& c : v) {
            skip();
            const auto [next, ec] = std::from_chars(p, end, c);
            if (ec != std::errc() || !std::isfinite(c))
                throw std::runtime_error(fmt::format("{}:{}: expected three numbers x y z", file.string(), number));
            p = next;
        }
        skip();
        if (p != end)
            throw std::runtime_error(fmt::format("{}:{}: expected three numbers x y z", file.string(), number));
        points.push_back(v);
    }
    return points;
}

std::vector<EdgeCurve> OperationEdges::featureEdges(const sdf::Element& mfg) const
{
    const std::string name = fmt::format("mfg '{}'", NameOf(mfg));
    const RigidTransform* placed = cell.worldOf(mfg.getId(false));
    const RigidTransform world = placed ? *placed : RigidTransform{};

    std::vector<EdgeCurve> edges;
    std::size_t index = 0;
    for (const auto& edge : mfg.children("mfgedge")) {
        ++index;
        const std::string what = fmt::format("{} edge {}", name, index);
        const std::string uri = edge->valueOr<std::string>("geometry/uri", std::string());
        const std::string type = Lower(edge->valueOr<std::string>("geometry/file_type", std::string("step")));
        std::filesystem::path file(uri);
        if (file.is_relative())
            file = baseDir / file;
        std::vector<Vec3d> shape;
        if (uri.empty())
            throw std::runtime_error(fmt::format("{}: has no shape file", what));
        if (type == "xyz" || Lower(file.extension().string()) == ".xyz")
            shape = ReadXyz(file);
        else if (parts.featureShape)
            try {
                shape = parts.featureShape(file, type);
            } catch (const std::runtime_error& e) {
                throw std::runtime_error(fmt::format("{} ({}): {}", what, uri, e.what()));
            }
        else
            throw std::runtime_error(fmt::format("{} ({}): needs the part's geometry", what, uri));
        if (shape.size() < 2)
            throw std::runtime_error(fmt::format("{} ({}): has fewer than two points", what, uri));

        std::vector<FeatureVector> vectors;
        for (const auto& v : edge->children("vector")) {
            const auto ijk = v->valueOr<zrv::rob::Vec3Template<double>>("ijk", {0, 0, 1});
            vectors.push_back({v->valueOr<double>("t", 0), world.rotate(Normalised({ijk.x, ijk.y, ijk.z}, {0, 0, 1})),
                               v->valueOr<double>("twist", 0), v->valueOr<double>("tilt", 0)});
        }
        if (vectors.empty())
            throw std::runtime_error(fmt::format("{}: has no vectors to give its normals", what));
        std::ranges::stable_sort(vectors, {}, &FeatureVector::t);

        EdgeCurve curve;
        for (const Vec3d& p : shape)
            curve.points.push_back({world.apply(p), {0, 0, 1}, std::nullopt});
        const auto c = ArcLengths(curve.points);
        if (c.back() <= 0)
            throw std::runtime_error(fmt::format("{} ({}): has no length", what, uri));
        for (std::size_t i = 0; i < curve.points.size(); ++i) {
            const double u = c[i] / c.back();
            const auto after = std::ranges::upper_bound(vectors, u, {}, &FeatureVector::t);
            FeatureVector at = after == vectors.end() ? vectors.back() : *after;
            if (after != vectors.begin() && after != vectors.end()) {
                const FeatureVector& a = *(after - 1);
                const double f = at.t > a.t ? (u - a.t) / (at.t - a.t) : 0.0;
                at = {u, Normalised(Lerp(a.ijk, at.ijk, f), a.ijk), a.twist + (at.twist - a.twist) * f,
                      a.tilt + (at.tilt - a.tilt) * f};
            }
            const Vec3d& prev = curve.points[i > 0 ? i - 1 : 0].position;
            const Vec3d& next = curve.points[std::min(i + 1, curve.points.size() - 1)].position;
            const Vec3d tangent = Normalised(Sub(next, prev), {1, 0, 0});
            curve.points[i].normal = Turned(at.ijk, tangent, at.twist, at.tilt);
            curve.points[i].tangent = tangent;
        }
        edges.push_back(std::move(curve));
    }
    if (edges.empty())
        return edges;

    // Where the path starts and ends on the feature, and the twist and tilt
    // blended between them over the feature's whole length.
    const double startTwist = mfg.valueOr<double>("pathstart/twist", 0);
    const double startTilt = mfg.valueOr<double>("pathstart/tilt", 0);
    const double endTwist = mfg.valueOr<double>("pathend/twist", 0);
    const double endTilt = mfg.valueOr<double>("pathend/tilt", 0);
    double total = 0;
    for (const auto& e : edges)
        total += ArcLengths(e.points).back();
    double before = 0;
    for (auto& e : edges) {
        const auto c = ArcLengths(e.points);
        for (std::size_t i = 0; i < e.points.size(); ++i) {
            const double f = (before + c[i]) / total;
            e.points[i].normal = Turned(e.points[i].normal, *e.points[i].tangent, startTwist + (endTwist - startTwist) * f,
                                        startTilt + (endTilt - startTilt) * f);
        }
        before += c.back();
    }
    const double head = mfg.valueOr<double>("pathstart/distance", 0);
    const double tail = mfg.valueOr<double>("pathend/distance", 0);
    if (edges.size() == 1) {
        Trim(edges.front().points, head, tail, name);
    } else {
        Trim(edges.front().points, head, 0, name);
        Trim(edges.back().points, 0, tail, name);
    }
    // Tangents came from the untrimmed points; the generator finds them
    // again from the polyline.
    for (auto& e : edges)
        for (auto& p : e.points)
            p.tangent.reset();
    return edges;
}

std::vector<EdgeCurve> OperationEdges::of(const sdf::Element& operation) const
{
    const std::string name = fmt::format("operation '{}'", NameOf(operation));
    const auto station = rootElement->get("station");
    if (const unsigned mfgId = operation.valueOr<unsigned int>("mfgid", 0u); mfgId != 0 && station) {
        std::shared_ptr<sdf::Element> feature;
        for (const auto& mfg : station->children("mfg"))
            if (mfg->getId(false) == mfgId)
                feature = mfg;
        if (!feature)
            throw std::runtime_error(fmt::format("{}: mfgid {} names no feature", name, mfgId));
        if (auto edges = featureEdges(*feature); !edges.empty())
            return edges;
    }
    std::vector<EdgeCurve> edges;
    if (const auto process = operation.get("process_edgeoperation")) {
        std::size_t index = 0;
        for (const auto& edge : process->children("edge")) {
            ++index;
            const unsigned body = edge->valueOr<unsigned int>("bodyface/bodyid", 0u);
            const unsigned face = edge->valueOr<unsigned int>("bodyface/faceindex", 0u);
            const unsigned number = edge->valueOr<unsigned int>("edgeindex", 0u);
            if (!parts.faceEdge)
                throw std::runtime_error(fmt::format("{}: edge {} (body {}, face {}, edge {}) needs the part's geometry",
                                                     name, index, body, face, number));
            EdgeCurve curve;
            try {
                curve = parts.faceEdge(body, face, number);
            } catch (const std::runtime_error& e) {
                throw std::runtime_error(fmt::format("{}: edge {}: {}", name, index, e.what()));
            }
            curve.reversed = edge->valueOr<bool>("reversed", false);
            edges.push_back(std::move(curve));
        }
    }
    if (const auto process = operation.get("process_curveoperation")) {
        const std::string plane = process->valueOr<std::string>("reference_plane", std::string("XY"));
        std::size_t index = 0;
        for (const auto& curve : process->children("curve")) {
            ++index;
            const unsigned body = curve->valueOr<unsigned int>("bodyid", 0u);
            if (!parts.bodyCurves)
                throw std::runtime_error(
                    fmt::format("{}: curve {} (body {}) needs the part's geometry", name, index, body));
            std::vector<EdgeCurve> curves;
            try {
                curves = parts.bodyCurves(body, plane, process->valueOr<unsigned int>("bodyface/bodyid", 0u),
                                          process->valueOr<unsigned int>("bodyface/faceindex", 0u));
            } catch (const std::runtime_error& e) {
                throw std::runtime_error(fmt::format("{}: curve {}: {}", name, index, e.what()));
            }
            for (EdgeCurve& c : curves) {
                c.reversed = curve->valueOr<bool>("reversed", false);
                edges.push_back(std::move(c));
            }
        }
    }
    if (edges.empty())
        throw std::runtime_error(fmt::format(
            "{}: has no edges (a feature with edges, process_edgeoperation or process_curveoperation)", name));
    return edges;
}

} // namespace cell
