#pragma once

// The sample station shipped under examples/stations/sample_cell.sdf: one
// welding robot with its weld gun and controller, a bracket on a table, a
// program task with a taught seam, an edge operation, a part sensor and a
// simulation scenario. Built here so that the file can be written again
// whenever the format changes; a test keeps the two in step.

#include <memory>

namespace sdf {
class Element;
}

namespace sdf::testing {

// The `sdf` root element of the sample station.
std::shared_ptr<Element> BuildSampleCell();

} // namespace sdf::testing
