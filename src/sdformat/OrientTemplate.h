#pragma once

#include <istream>
#include <ostream>

namespace zrv::rob {

// An orientation as a unit quaternion, scalar part first: w x y z.
template <class T>
struct OrientTemplate
{
    T w{1};
    T x{0};
    T y{0};
    T z{0};

    friend bool operator==(const OrientTemplate&, const OrientTemplate&) = default;
};

template <class T>
std::ostream& operator<<(std::ostream& out, const OrientTemplate<T>& q)
{
    return out << q.w << ' ' << q.x << ' ' << q.y << ' ' << q.z;
}

template <class T>
std::istream& operator>>(std::istream& in, OrientTemplate<T>& q)
{
    return in >> q.w >> q.x >> q.y >> q.z;
}

} // namespace zrv::rob
