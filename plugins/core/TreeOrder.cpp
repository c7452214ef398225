#include "TreeOrder.h"

#include <common/ZrvAssert.h>

#include <limits>

namespace zrv::core {

TreeOrder::TreeOrder(const StationObjects& objects)
{
    constexpr std::uint32_t kUnplaced = std::numeric_limits<std::uint32_t>::max();
    ZRV_ASSERT(objects.size() < kUnplaced, "too many objects", "plugins/core/TreeOrder");
    order.reserve(objects.size());
    places.assign(objects.size(), kUnplaced);
    // With a stack of its own: a chain of objects may be a million deep.
    std::vector<Item> stack;
    for (auto root = objects.roots().rbegin(); root != objects.roots().rend(); ++root)
        stack.push_back({static_cast<std::uint32_t>(*root), 0});
    while (!stack.empty()) {
        const Item at = stack.back();
        stack.pop_back();
        places[at.entry] = static_cast<std::uint32_t>(order.size());
        order.push_back(at);
        const auto& children = objects.entry(at.entry).children;
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({static_cast<std::uint32_t>(*child), at.depth + 1});
    }
    ZRV_ASSERT(order.size() == objects.size(), "objects outside the tree", "plugins/core/TreeOrder");
}

} // namespace zrv::core
