#pragma once

// Counts over a whole document: elements by label and by depth, objects and
// the largest object id.

#include <sdformat/Element.h>
#include <sdformat/ElementTemplate.h>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
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

// Counts element by element, in any order.
class SurveyCount
{
public:
    void add(const sdf::Element& element, const sdf::ElementTemplate& templ, std::size_t depth);
    Survey finish() const;

private:
    Survey _survey;
    // Labels live in the templates, which outlive the count: counted by
    // view, each copied once at the end.
    std::unordered_map<std::string_view, std::size_t> _byLabel;
};

Survey SurveyDocument(const sdf::Element& root);

} // namespace sdftool
