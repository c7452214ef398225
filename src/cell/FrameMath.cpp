#include "cell/FrameMath.h"

#include "cell/QuaternionMath.h"

#include <array>
#include <cmath>

namespace cell::frame {

RigidTransform FromAxes(const Vec3d& x, const Vec3d& y, const Vec3d& z, const Vec3d& origin)
{
    // Rotation matrix with columns x, y, z to a quaternion (Shepperd's way:
    // start from the largest diagonal term to keep the division stable).
    const double m00 = x[0], m11 = y[1], m22 = z[2];
    const double trace = m00 + m11 + m22;
    std::array<double, 4> q{};
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        q = {0.25 * s, (y[2] - z[1]) / s, (z[0] - x[2]) / s, (x[1] - y[0]) / s};
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
        q = {(y[2] - z[1]) / s, 0.25 * s, (y[0] + x[1]) / s, (z[0] + x[2]) / s};
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
        q = {(z[0] - x[2]) / s, (y[0] + x[1]) / s, 0.25 * s, (z[1] + y[2]) / s};
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
        q = {(x[1] - y[0]) / s, (z[0] + x[2]) / s, (z[1] + y[2]) / s, 0.25 * s};
    }
    if (q[0] < 0)
        for (double& c : q)
            c = -c;
    return RigidTransform::FromParts(origin, q);
}

Vec3d AnyPerpendicular(const Vec3d& v)
{
    const Vec3d helper = std::abs(v[0]) < 0.9 ? Vec3d{1, 0, 0} : Vec3d{0, 1, 0};
    return Normalised(Cross(v, helper), {0, 0, 1});
}

RigidTransform Slerp(const RigidTransform& a, const RigidTransform& b, double f)
{
    return RigidTransform::FromParts(Lerp(a.t, b.t, f), detail::Slerp(a.q, b.q, f));
}

} // namespace cell::frame
