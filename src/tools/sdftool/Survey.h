#pragma once

// Counts over a whole document: elements by label and by depth, objects and
// the largest object id.

#include <sdformat/Element.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace sdftool {

struct Survey
{
    std::size_t elements = 0;
    std::size_t objects = 0;
    unsigned int largestId = 0;                    // 0 when no object has an id
    std::map<std::string, std::size_t> byLabel;    // sorted by label
    std::vector<std::size_t> byDepth;              // index 0 is the root
};

Survey SurveyDocument(const sdf::Element& root);

} // namespace sdftool
