#pragma once

#include <zrvrob/Position.h>
#include <zrvrob/Quaternion.h>

namespace zrv::rob {

// A coordinate system given by its origin and its rotation; the identity by
// default.
struct Frame
{
    Position trans;
    Quaternion rot;

    friend bool operator==(const Frame&, const Frame&) = default;
};

} // namespace zrv::rob
