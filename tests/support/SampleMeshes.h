#pragma once

// The shapes of the sample station: small glTF meshes of the table, the
// bracket, the six links of the robot and the weld torch, each in the frame
// of the object it belongs to, in millimetres. write_sample_station writes them beside the station, under
// "meshes/"; a test keeps the files and the builder in step.

#include <map>
#include <string>

namespace sdf::testing {

// File path relative to the station's directory -> file text.
std::map<std::string, std::string> SampleMeshes();

} // namespace sdf::testing
