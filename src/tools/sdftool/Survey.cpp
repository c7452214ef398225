#include "Survey.h"

#include <sdformat/ObjectFields.h>
#include <sdformat/TreeWalk.h>

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace sdftool {

Survey SurveyDocument(const sdf::Element& root)
{
    Survey survey;
    // Labels live in the templates, which outlive the walk: count by view and
    // copy each label once at the end.
    std::unordered_map<std::string_view, std::size_t> byLabel;
    sdf::WalkTree(root, [&](const sdf::TreeVisit& v) {
        ++survey.elements;
        ++byLabel[v.templ._name];
        if (survey.byDepth.size() <= v.depth)
            survey.byDepth.resize(v.depth + 1);
        ++survey.byDepth[v.depth];
        if (sdf::IsObjectTemplate(v.templ)) {
            ++survey.objects;
            survey.largestId = std::max(survey.largestId, v.element.getId(false));
        }
    });
    for (const auto& [label, count] : byLabel)
        survey.byLabel.emplace(label, count);
    return survey;
}

} // namespace sdftool
