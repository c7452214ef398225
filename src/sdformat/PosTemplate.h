#pragma once

#include <istream>
#include <ostream>

namespace zrv::rob {

// A position x y z.
template <class T>
struct PosTemplate
{
    T x{0};
    T y{0};
    T z{0};

    friend bool operator==(const PosTemplate&, const PosTemplate&) = default;
};

template <class T>
std::ostream& operator<<(std::ostream& out, const PosTemplate<T>& p)
{
    return out << p.x << ' ' << p.y << ' ' << p.z;
}

template <class T>
std::istream& operator>>(std::istream& in, PosTemplate<T>& p)
{
    return in >> p.x >> p.y >> p.z;
}

} // namespace zrv::rob
