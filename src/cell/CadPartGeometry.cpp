#include "cell/CadPartGeometry.h"

#include "cell/CellLayout.h"
#include "cell/FrameMath.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

namespace cell {

using namespace frame;

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

ElementPtr FindBody(const ElementPtr& element, std::uint32_t id)
{
    for (const auto& child : element->elements()) {
        if (child->label() == "body" && child->getId(false) == id)
            return child;
        if (auto found = FindBody(child, id))
            return found;
    }
    return nullptr;
}

struct PlacedBody
{
    std::string what; // "body 12 (file)"
    GeometryCache::Result geometry;
    RigidTransform world;
};

// The curves of a file as rows of points, each edge joined to the chain
// when one of its ends meets the chain's end (within 0.01 mm).
std::vector<std::vector<Vec3d>> Chained(const Geometry& geometry)
{
    constexpr double kMeet = 0.01;
    std::vector<std::vector<Vec3d>> rows;
    for (const auto& edge : geometry.edges) {
        if (edge.degenerate || edge.points.size() < 2)
            continue;
        if (!rows.empty()) {
            auto& row = rows.back();
            if (Distance(row.back(), edge.points.front()) <= kMeet) {
                row.insert(row.end(), edge.points.begin() + 1, edge.points.end());
                continue;
            }
            if (Distance(row.back(), edge.points.back()) <= kMeet) {
                row.insert(row.end(), edge.points.rbegin() + 1, edge.points.rend());
                continue;
            }
        }
        rows.push_back(edge.points);
    }
    return rows;
}

class Source
{
public:
    Source(ElementPtr root, std::filesystem::path baseDirectory, std::shared_ptr<GeometryCache> cache,
           LoadOptions options)
        : rootElement(std::move(root))
        , baseDir(std::move(baseDirectory))
        , files(std::move(cache))
        , load(std::move(options))
    {
    }

    PlacedBody body(std::uint32_t id) const
    {
        const ElementPtr body = FindBody(rootElement, id);
        if (!body)
            throw std::runtime_error(fmt::format("body {}: the station has no body with that id", id));
        std::string uri = body->valueOr<std::string>("geometry/uri", std::string());
        if (uri.starts_with("file://"))
            uri.erase(0, 7);
        if (uri.empty())
            throw std::runtime_error(fmt::format("body {}: has no geometry file", id));
        std::filesystem::path file(uri);
        if (file.is_relative())
            file = baseDir / file;
        LoadOptions options = load;
        options.fileType = body->valueOr<std::string>("geometry/file_type", std::string("step"));
        PlacedBody placed{fmt::format("body {} ({})", id, uri), nullptr, {}};
        try {
            placed.geometry = files->get(file, options);
        } catch (const std::exception& e) {
            throw std::runtime_error(fmt::format("body {}: {}", id, e.what()));
        }
        if (const auto part = body->parent()) {
            if (!layout)
                layout.emplace(rootElement, baseDir);
            if (const RigidTransform* world = layout->worldOf(part->getId(false)))
                placed.world = *world;
        }
        return placed;
    }

    EdgeCurve faceEdge(std::uint32_t bodyId, std::uint32_t face, std::uint32_t edge) const
    {
        const PlacedBody body = this->body(bodyId);
        const auto& faces = body.geometry->faces;
        if (face >= faces.size())
            throw std::runtime_error(fmt::format("{}: has no face {} (it has {})", body.what, face, faces.size()));
        const auto& tracks = faces[face].tracks;
        if (edge >= tracks.size())
            throw std::runtime_error(
                fmt::format("{}: face {} has no edge {} (it has {})", body.what, face, edge, tracks.size()));
        const auto& track = tracks[edge];
        if (track.points.size() < 2)
            throw std::runtime_error(
                fmt::format("{}: edge {} of face {} has no length or no surface normal", body.what, edge, face));
        EdgeCurve curve;
        curve.points.reserve(track.points.size());
        for (std::size_t k = 0; k < track.points.size(); ++k)
            curve.points.push_back({body.world.apply(track.points[k]), body.world.rotate(track.normals[k]),
                                    body.world.rotate(track.tangents[k])});
        return curve;
    }

    std::vector<EdgeCurve> bodyCurves(std::uint32_t bodyId, const std::string& plane, std::uint32_t planeBody,
                                      std::uint32_t planeFace) const
    {
        const PlacedBody body = this->body(bodyId);
        Vec3d normal{0, 0, 1};
        if (plane == "XY")
            normal = body.world.rotate({0, 0, 1});
        else if (plane == "YZ")
            normal = body.world.rotate({1, 0, 0});
        else if (plane == "ZX")
            normal = body.world.rotate({0, 1, 0});
        else if (plane == "UserSelected")
            normal = faceNormal(planeBody, planeFace);
        else
            throw std::runtime_error(fmt::format("reference_plane: '{}' is not one of XY, YZ, ZX, UserSelected", plane));
        std::vector<EdgeCurve> curves;
        for (const auto& row : Chained(*body.geometry)) {
            EdgeCurve curve;
            for (const Vec3d& p : row)
                curve.points.push_back({body.world.apply(p), normal, std::nullopt});
            curves.push_back(std::move(curve));
        }
        if (curves.empty())
            throw std::runtime_error(fmt::format("{}: has no curves", body.what));
        return curves;
    }

    std::vector<Vec3d> featureShape(const std::filesystem::path& file, const std::string& fileType) const
    {
        LoadOptions options = load;
        options.fileType = fileType;
        const auto rows = Chained(*files->get(file, options));
        if (rows.size() != 1)
            throw std::runtime_error(
                fmt::format("{}: a feature edge is one chain of curves, the file has {}", file.string(), rows.size()));
        return rows.front();
    }

private:
    // The outward normal at the centre of a face: its triangles' normals
    // weighted by their areas.
    Vec3d faceNormal(std::uint32_t bodyId, std::uint32_t face) const
    {
        const PlacedBody body = this->body(bodyId);
        const Geometry& g = *body.geometry;
        if (face >= g.faces.size())
            throw std::runtime_error(fmt::format("{}: has no face {} (it has {})", body.what, face, g.faces.size()));
        const auto& f = g.faces[face];
        const auto at = [&](std::uint32_t i) {
            return Vec3d{g.positions[3 * i], g.positions[3 * i + 1], g.positions[3 * i + 2]};
        };
        Vec3d sum{0, 0, 0};
        for (std::uint32_t k = f.firstIndex; k + 2 < f.firstIndex + f.indexCount; k += 3) {
            const Vec3d a = at(g.indices[k]);
            sum = Add(sum, Cross(Sub(at(g.indices[k + 1]), a), Sub(at(g.indices[k + 2]), a)));
        }
        if (Length(sum) <= std::numeric_limits<double>::epsilon())
            throw std::runtime_error(fmt::format("{}: face {} has no normal", body.what, face));
        return body.world.rotate(Normalised(sum, {0, 0, 1}));
    }

    ElementPtr rootElement;
    std::filesystem::path baseDir;
    std::shared_ptr<GeometryCache> files;
    LoadOptions load;
    // Where the parts are, read when first asked for.
    mutable std::optional<CellLayout> layout;
};

} // namespace

PartGeometry CadPartGeometry::For(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory,
                                  std::shared_ptr<GeometryCache> cache, LoadOptions options)
{
    auto source = std::make_shared<const Source>(std::move(root), std::move(baseDirectory), std::move(cache),
                                                 std::move(options));
    PartGeometry geometry;
    geometry.faceEdge = [source](std::uint32_t body, std::uint32_t face, std::uint32_t edge) {
        return source->faceEdge(body, face, edge);
    };
    geometry.bodyCurves = [source](std::uint32_t body, const std::string& plane, std::uint32_t planeBody,
                                   std::uint32_t planeFace) {
        return source->bodyCurves(body, plane, planeBody, planeFace);
    };
    geometry.featureShape = [source](const std::filesystem::path& file, const std::string& fileType) {
        return source->featureShape(file, fileType);
    };
    return geometry;
}

} // namespace cell
