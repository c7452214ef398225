// The Core plug-in's 3D view lays out whatever station it is given: any
// document the reader accepts gives every placed object a finite world pose
// (whatever its poses, anchors, attachments and joints say), and picking
// and bounds never fail.

#include "cell/CellLayout.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::shared_ptr<sdf::SDF> doc;
    try {
        doc = sdf::SDF::ReadSdfFromString(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const std::logic_error&) {
        return 0;
    } catch (const std::runtime_error&) {
        return 0;
    }
    cell::CellLayout cell(doc->Root(), "/nonexistent");
    for (const auto& item : cell.items()) {
        for (double c : item.world.t) {
            if (!std::isfinite(c))
                std::abort();
        }
        (void)cell.worldBounds(item);
    }
    for (const auto& path : cell.paths()) {
        for (const auto& point : path.points) {
            for (double c : point) {
                if (!std::isfinite(c))
                    std::abort();
            }
        }
    }
    (void)cell.pick({0, 0, 10000}, {0, 0, -1});
    (void)cell.worldBounds();
    cell.rebuild();
    return 0;
}
