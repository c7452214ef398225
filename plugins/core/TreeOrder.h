#pragma once

// The objects in the order the tree shows them with every row open (depth
// first, children in their order), each with its depth, and each object's
// place in that order. A search's rows are those of its objects in this
// order, read off in one pass; and two lists of rows, both in this order,
// differ in stretches that one walk finds.

#include "StationObjects.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zrv::core {

class TreeOrder
{
public:
    struct Item
    {
        std::uint32_t entry;
        int depth;
    };

    // The objects must be arranged (registered), and fewer than 2^32.
    explicit TreeOrder(const StationObjects& objects);

    const std::vector<Item>& items() const { return order; }
    std::uint32_t placeOf(std::size_t entry) const { return places[entry]; }

private:
    std::vector<Item> order;
    std::vector<std::uint32_t> places; // per entry
};

} // namespace zrv::core
