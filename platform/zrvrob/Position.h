#pragma once

namespace zrv::rob {

// A point or translation x y z, in millimetres.
struct Position
{
    double x = 0;
    double y = 0;
    double z = 0;

    friend bool operator==(const Position&, const Position&) = default;
};

} // namespace zrv::rob
