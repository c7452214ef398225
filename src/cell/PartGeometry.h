#pragma once

// The seam where the geometry cache fills path generation from CAD: each
// function answers one kind of reference an operation makes, with curves
// in the world frame. An empty function means the geometry is not at hand,
// and the operations that need it fail with "needs the part's geometry".

#include "cell/EdgeCurve.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace cell {

struct PartGeometry
{
    // Edge `edge` of face `face` of body `body` (process_edgeoperation),
    // running in the edge's own direction, normals those of that face.
    std::function<EdgeCurve(std::uint32_t body, std::uint32_t face, std::uint32_t edge)> faceEdge;
    // The curves of a curve body (process_curveoperation), normals those of
    // the reference plane the operation names: "XY", "YZ", "ZX", or for
    // "UserSelected" the face planeBody/planeFace (its `bodyface`).
    std::function<std::vector<EdgeCurve>(std::uint32_t body, const std::string& referencePlane,
                                         std::uint32_t planeBody, std::uint32_t planeFace)>
        bodyCurves;
    // The points of a feature edge's shape file (an `mfgedge` geometry), in
    // the file's own frame, in the edge's direction; normals are ignored
    // (the feature's vectors give them).
    std::function<std::vector<Vec3d>(const std::filesystem::path& file, const std::string& fileType)> featureShape;
};

} // namespace cell
