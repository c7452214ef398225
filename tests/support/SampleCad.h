#pragma once

// The CAD files of the sample station, made with OpenCASCADE so that the
// sample needs no outside file: the angle plate's STEP solid (in the part's
// frame, millimetres) and the bracket seam's B-rep edge (in the feature's
// frame). write_sample_station writes them beside the station; a test keeps
// the files and the builder in step.

#include <map>
#include <string>

namespace sdf::testing {

// File path relative to the station's directory -> file bytes.
std::map<std::string, std::string> SampleCad();

} // namespace sdf::testing
