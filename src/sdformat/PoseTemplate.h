#pragma once

#include <sdformat/OrientTemplate.h>
#include <sdformat/PosTemplate.h>

#include <istream>
#include <ostream>

namespace zrv::rob {

// A position followed by an orientation; text form seven numbers,
// "0 0 0 1 0 0 0" by default.
template <class T>
struct PoseTemplate
{
    PosTemplate<T> pos;
    OrientTemplate<T> orient;

    friend bool operator==(const PoseTemplate&, const PoseTemplate&) = default;
};

template <class T>
std::ostream& operator<<(std::ostream& out, const PoseTemplate<T>& p)
{
    return out << p.pos << ' ' << p.orient;
}

template <class T>
std::istream& operator>>(std::istream& in, PoseTemplate<T>& p)
{
    return in >> p.pos >> p.orient;
}

} // namespace zrv::rob
