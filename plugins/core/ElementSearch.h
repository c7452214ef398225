#pragma once

// The element under `from` (or `from` itself) whose id attribute is `id`,
// depth first in document order; null for id 0 (no object has it) or
// when none has it. Walks with a stack of its own, so that deep nesting
// cannot exhaust the call stack.

#include <sdformat/Element.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace zrv::core {

inline std::shared_ptr<sdf::Element> FindById(const std::shared_ptr<sdf::Element>& from, std::uint32_t id)
{
    if (!from || id == 0)
        return nullptr;
    std::vector<std::shared_ptr<sdf::Element>> pending{from};
    while (!pending.empty()) {
        std::shared_ptr<sdf::Element> element = std::move(pending.back());
        pending.pop_back();
        if (element->getId(false) == id)
            return element;
        const auto& children = element->elements();
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back(*child);
    }
    return nullptr;
}

} // namespace zrv::core
