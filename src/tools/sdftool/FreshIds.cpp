#include "FreshIds.h"

#include "Command.h"
#include "Survey.h"

#include <sdformat/ObjectFields.h>

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace sdftool {

namespace {

constexpr unsigned int kLast = std::numeric_limits<unsigned int>::max();

} // namespace

FreshIds::FreshIds(const sdf::Element& root, const std::string& file) : _file(file)
{
    const unsigned int largest = SurveyDocument(root).largestId;
    _exhausted = largest == kLast;
    _next = _exhausted ? kLast : largest + 1;
    if (const auto station = root.get("station"); station && station->exists("next_dataid"))
        _next = std::max(_next, station->valueOr<unsigned int>("next_dataid", 0u));
}

unsigned int FreshIds::take()
{
    if (_exhausted)
        throw Failure(fmt::format("{}: no object id is left above {}", _file, kLast));
    _taken = true;
    const unsigned int id = _next;
    if (_next == kLast)
        _exhausted = true;
    else
        ++_next;
    return id;
}

void FreshIds::give(sdf::Element& element, const sdf::ElementTemplate& templ)
{
    std::vector<std::pair<sdf::Element*, const sdf::ElementTemplate*>> pending{{&element, &templ}};
    while (!pending.empty()) {
        const auto [at, atTempl] = pending.back();
        pending.pop_back();
        if (sdf::IsObjectTemplate(*atTempl) && at->getId(false) == 0)
            at->setId(take());
        for (auto child = at->elements().rbegin(); child != at->elements().rend(); ++child)
            pending.emplace_back(child->get(), &atTempl->child((*child)->label()));
    }
}

void FreshIds::record(sdf::Element& root) const
{
    const auto station = root.get("station");
    if (!_taken || !station || _exhausted)
        return;
    station->set<unsigned int>("next_dataid", _next);
}

} // namespace sdftool
