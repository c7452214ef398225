#pragma once

// The id rules that the library leaves to its users: every object id is
// used by one object only, and every value that holds an object id names an
// object of the same document (0 names none and is always fine).

#include <sdformat/Element.h>

#include <string>
#include <vector>

namespace sdftool {

struct IdProblem
{
    std::string path;      // the element concerned, e.g. "/sdf/station/part[2]/parent"
    std::string message;
};

// The problems in document order; empty when the ids are sound.
std::vector<IdProblem> CheckIds(const sdf::Element& root);

} // namespace sdftool
