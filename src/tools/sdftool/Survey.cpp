#include "Survey.h"

#include <sdformat/ObjectFields.h>
#include <sdformat/TreeWalk.h>

#include <algorithm>

namespace sdftool {

void SurveyCount::add(const sdf::Element& element, const sdf::ElementTemplate& templ, std::size_t depth)
{
    ++_survey.elements;
    ++_byLabel[templ._name];
    if (_survey.byDepth.size() <= depth)
        _survey.byDepth.resize(depth + 1);
    ++_survey.byDepth[depth];
    if (sdf::IsObjectTemplate(templ)) {
        ++_survey.objects;
        _survey.largestId = std::max(_survey.largestId, element.getId(false));
    }
}

Survey SurveyCount::finish() const
{
    Survey survey = _survey;
    for (const auto& [label, count] : _byLabel)
        survey.byLabel.emplace(label, count);
    return survey;
}

Survey SurveyDocument(const sdf::Element& root)
{
    SurveyCount count;
    sdf::WalkTree(root, [&](const sdf::TreeVisit& v) { count.add(v.element, v.templ, v.depth); });
    return count.finish();
}

} // namespace sdftool
