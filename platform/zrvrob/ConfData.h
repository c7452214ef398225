#pragma once

namespace zrv::rob {

// The arm configuration of a target: the quadrants of axes 1, 4 and 6 and
// the configuration number of the wrist centre.
struct ConfData
{
    int cf1 = 0;
    int cf4 = 0;
    int cf6 = 0;
    int cfx = 0;

    friend bool operator==(const ConfData&, const ConfData&) = default;
};

} // namespace zrv::rob
