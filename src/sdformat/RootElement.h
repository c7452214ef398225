#pragma once

// Internal to the library: documents start from here.

#include <memory>

namespace sdf {

class Element;

// A new, childless `sdf` element made from the root template, which is built
// on the first call; errors of that build pass to the caller.
std::shared_ptr<Element> CreateRootElement();

} // namespace sdf
