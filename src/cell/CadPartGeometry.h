#pragma once

// Fills path generation's PartGeometry from the bodies' CAD files, read
// through a GeometryCache (each file once):
//  - A face's edge (process_edgeoperation) is the body's face `faceindex`
//    and its edge `edgeindex` in the order Geometry states, running the way
//    the face's boundary runs it (counter-clockwise seen from outside the
//    material), with the face's outward normal and the edge's tangent at
//    every point of its polyline (within the chord tolerance).
//  - A curve body (process_curveoperation) gives all its edges, chained end
//    to start in the body's edge order (an edge is turned round when its
//    end meets the chain). Normals are the reference plane's: "XY" the
//    part's Z axis, "YZ" its X, "ZX" its Y; "UserSelected" the outward
//    normal of the face that `bodyface` names, at that face's centre.
//  - A feature's shape file (an `mfgedge`) is all edges of the file chained
//    the same way, in the file's frame.
// A body has no pose of its own: its file is placed where the station puts
// the part that holds it (CellLayout).

#include "cell/Export.h"
#include "cell/GeometryCache.h"
#include "cell/LoadOptions.h"
#include "cell/PartGeometry.h"

#include <filesystem>
#include <memory>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT CadPartGeometry
{
public:
    // Relative files are found from baseDirectory (the station file's
    // directory); options give the tessellation (a body's file_type is its
    // own). Made for one generation, on one thread: the parts' places are
    // read from the document when first needed and kept. The functions keep
    // root and cache alive and fail with std::runtime_error, exact messages
    // naming the body, face and edge.
    static PartGeometry For(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory,
                            std::shared_ptr<GeometryCache> cache, LoadOptions options = {});
};

} // namespace cell
