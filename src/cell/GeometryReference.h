#pragma once

// Where a station refers to geometry files: every `body` (of a part, or
// anywhere else the document has one) and every `pointcloud` with a
// `geometry/uri`, in document order.

#include "cell/Export.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

struct ZRV_CELL_EXPORT GeometryReference
{
    std::uint32_t id = 0;     // the body's or point cloud's id
    std::string label;        // "body" or "pointcloud"
    std::string name;
    std::uint32_t owner = 0;  // the object holding a body (its part), else 0
    std::string ownerLabel;
    std::string uri;          // as written
    std::string fileType;     // geometry/file_type as written ("step" by default)
    std::filesystem::path file; // the uri as a path, relative ones from the base directory

    // Every reference under root, relative uris resolved from
    // baseDirectory (the station file's directory). A "file://" prefix is
    // taken off.
    static std::vector<GeometryReference> Find(const std::shared_ptr<sdf::Element>& root,
                                               const std::filesystem::path& baseDirectory);
};

} // namespace cell
