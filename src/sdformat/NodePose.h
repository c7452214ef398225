#pragma once

// Pose access by object id, for callers that hold ids rather than objects.

#include <sdformat/Export.h>
#include <sdformat/PoseTemplate.h>

#include <cstdint>

namespace sdf {

// The cached pose of the node registered under id. Precondition: id is
// registered and its object is a node (std::out_of_range when it is not
// registered at all).
SDF_EXPORT zrv::rob::PoseTemplate<double> GetPose(std::uint32_t id);
// Sets the node's pose, which also writes the element's `pose`. Same
// precondition.
SDF_EXPORT void SetPose(std::uint32_t id, const zrv::rob::PoseTemplate<double>& pose);

} // namespace sdf
