#pragma once

// Finds the edges an operation works on, as curves in the world frame:
//  - An operation whose `mfgid` names a feature with edges follows that
//    feature: each `mfgedge` is the polyline of its shape file in the
//    feature's frame (`pose` from `anchor`), and its normals come from the
//    edge's vectors. A vector's `t` is the fraction of the edge's length
//    (0 at its start, 1 at its end) where it sits; its `ijk` is turned by
//    `twist` degrees about the edge's tangent and by `tilt` degrees towards
//    the tangent; between vectors the normal is blended linearly, beyond
//    the first and the last it stays. `pathstart/distance` cuts that much
//    off the start of the first edge, `pathend/distance` off the end of
//    the last; their twist and tilt are added to every normal, blended from
//    start to end over the feature's length.
//  - Shape files of type "xyz" (one "x y z" point a line, millimetres,
//    '#' starts a comment) are read here; every other type, and the body
//    faces and curves of `process_edgeoperation` and
//    `process_curveoperation`, come from PartGeometry (CadPartGeometry
//    reads them from CAD files), and without it fail: std::runtime_error
//    "<what>: needs the part's geometry". Its errors come back prefixed
//    with the operation and edge (or the feature, edge and file).

#include "cell/CellLayout.h"
#include "cell/EdgeCurve.h"
#include "cell/Export.h"
#include "cell/PartGeometry.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT OperationEdges
{
public:
    // Relative shape files are found from baseDirectory (the station
    // file's directory).
    OperationEdges(std::shared_ptr<sdf::Element> root, const CellLayout& layout, std::filesystem::path baseDirectory,
                   PartGeometry geometry = {});

    // std::runtime_error with an exact message when the operation names no
    // edges or they cannot be found.
    std::vector<EdgeCurve> of(const sdf::Element& operation) const;

    // The points of an "xyz" file; std::runtime_error "<file>:<line>: ..."
    // for a line that is not three numbers.
    static std::vector<Vec3d> ReadXyz(const std::filesystem::path& file);

private:
    std::vector<EdgeCurve> featureEdges(const sdf::Element& mfg) const;

    std::shared_ptr<sdf::Element> rootElement;
    const CellLayout& cell;
    std::filesystem::path baseDir;
    PartGeometry parts;
};

} // namespace cell
