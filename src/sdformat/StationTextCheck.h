#pragma once

// Internal to the library: the part of sdf::StationCheck that needs the
// document's text, the value texts as written and the places of findings.

#include <sdformat/StationCheck.h>

#include <string_view>
#include <vector>

namespace sdf::detail {

// Adds a finding for every value text (an element's value or an attribute)
// of the document text that a strict reading refuses, and gives the
// findings already in findings the line and column of their first path.
// Text that does not parse adds nothing: the reader reports it.
void CheckStationText(std::string_view text, std::vector<StationCheck::Finding>& findings);

} // namespace sdf::detail
