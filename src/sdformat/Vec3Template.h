#pragma once

#include <istream>
#include <ostream>

namespace zrv::rob {

// A vector of three components, x y z. Text form: the three numbers
// separated by single spaces (any white space on reading).
template <class T>
struct Vec3Template
{
    T x{0};
    T y{0};
    T z{0};

    friend bool operator==(const Vec3Template&, const Vec3Template&) = default;
};

template <class T>
std::ostream& operator<<(std::ostream& out, const Vec3Template<T>& v)
{
    return out << v.x << ' ' << v.y << ' ' << v.z;
}

// Reads the components in order; stream extraction leaves a component it
// cannot read at 0 and the later ones untouched.
template <class T>
std::istream& operator>>(std::istream& in, Vec3Template<T>& v)
{
    return in >> v.x >> v.y >> v.z;
}

} // namespace zrv::rob
