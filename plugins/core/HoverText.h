#pragma once

// What the label by the pointer says of the thing under it in the 3D view:
// an object's name and kind ("Table (part 19)"), with what holds it for a
// body or link ("Top (body 20) of Table (part 19)"); a program target's
// instruction, its robtarget and its reach ("Movel (instruction 49) ·
// robtarget inline (argument target) · reachable").

#include <QtCore/QString>

#include <cstdint>

namespace zrv::core {

class CellScene;

class HoverText
{
public:
    // "" when nothing (0) or no object of the station is hit.
    static QString Describe(const CellScene& scene, std::uint32_t object, std::uint32_t body);
};

} // namespace zrv::core
