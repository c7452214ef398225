#include "sdformat/StationCheck.h"

#include "sdformat/ElementTemplate.h"
#include "sdformat/IdCheck.h"
#include "sdformat/ObjectFields.h"
#include "sdformat/StationRules.h"
#include "sdformat/StationTextCheck.h"
#include "sdformat/TreeWalk.h"

#include <common/ZrvAssert.h>

#include <algorithm>
#include <string>
#include <unordered_map>

namespace sdf {

namespace {

// The id check's problems as findings; each belongs to the object at its
// first path.
void AddIdProblems(const Element& root, std::vector<StationCheck::Finding>& findings)
{
    for (auto& problem : IdCheck::Check(root)) {
        StationCheck::Finding finding;
        finding.kind = std::string(IdCheck::KindName(problem.kind));
        finding.message = std::move(problem.message);
        finding.paths = std::move(problem.paths);
        finding.ids = std::move(problem.ids);
        findings.push_back(std::move(finding));
    }
}

// Orders findings by the document position of their first path, and gives
// those without an object the object their first path lies in.
void OrderAndPlace(const Element& root, std::vector<StationCheck::Finding>& findings)
{
    std::unordered_map<std::string, std::vector<std::size_t>> byPath;
    // An attribute's finding ("/sdf/station/part/@id") sorts with its element.
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const std::string& path = findings[i].paths.empty() ? std::string() : findings[i].paths.front();
        byPath[path.substr(0, path.find("/@"))].push_back(i);
    }
    std::vector<std::size_t> order(findings.size(), 0);
    std::vector<unsigned int> objectAtDepth;
    std::size_t position = 0;
    WalkTree(root, [&](const TreeVisit& v) {
        ++position;
        if (objectAtDepth.size() <= v.depth)
            objectAtDepth.resize(v.depth + 1, 0);
        objectAtDepth[v.depth] = IsObjectTemplate(v.templ) ? v.element.getId(false) : 0;
        const auto it = byPath.find(std::string(v.path));
        if (it == byPath.end())
            return;
        unsigned int object = 0;
        for (std::size_t d = v.depth + 1; d-- > 0 && object == 0;)
            object = objectAtDepth[d];
        for (const std::size_t i : it->second) {
            order[i] = position;
            if (findings[i].objectId == 0)
                findings[i].objectId = object;
        }
    });
    std::vector<std::size_t> index(findings.size());
    for (std::size_t i = 0; i < index.size(); ++i)
        index[i] = i;
    std::ranges::stable_sort(index, {}, [&](std::size_t i) { return order[i]; });
    std::vector<StationCheck::Finding> sorted;
    sorted.reserve(findings.size());
    for (const std::size_t i : index)
        sorted.push_back(std::move(findings[i]));
    findings = std::move(sorted);
}

} // namespace

std::vector<StationCheck::Finding> StationCheck::Check(const Element& root)
{
    ZRV_ASSERT(root.label() == RootTemplate()._name, "root.label() == RootTemplate()._name",
               "src/sdformat/StationCheck");
    std::vector<Finding> findings;
    AddIdProblems(root, findings);
    detail::CheckStationRules(root, findings);
    OrderAndPlace(root, findings);
    return findings;
}

std::vector<StationCheck::Finding> StationCheck::Check(const Element& root, std::string_view text)
{
    std::vector<Finding> findings = Check(root);
    detail::CheckStationText(text, findings);
    OrderAndPlace(root, findings);
    return findings;
}

bool StationCheck::HasErrors(const std::vector<Finding>& findings)
{
    return std::ranges::any_of(findings, [](const Finding& f) { return f.severity == Severity::Error; });
}

std::string_view StationCheck::SeverityName(Severity severity)
{
    return severity == Severity::Error ? "error" : "warning";
}

} // namespace sdf
