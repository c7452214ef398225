#pragma once

// Internal to the library: the part of sdf::StationCheck that looks at a
// read document's values, the catalogue's constraints, references by kind
// and by name, and anchors.

#include <sdformat/Element.h>
#include <sdformat/StationCheck.h>

#include <vector>

namespace sdf::detail {

void CheckStationRules(const Element& root, std::vector<StationCheck::Finding>& findings);

} // namespace sdf::detail
