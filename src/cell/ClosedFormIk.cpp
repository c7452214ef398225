#include "cell/ClosedFormIk.h"

#include "cell/RobotModel.h"

#include <Eigen/Geometry>

#include <fmt/format.h>

#include <cmath>
#include <numbers>

namespace cell {

namespace {

using Eigen::Matrix3d;
using Eigen::Vector3d;

constexpr double kDirectionTolerance = 1e-6; // sine of the angle between axes
constexpr double kPointTolerance = 1e-3;     // mm, axes meeting

Vector3d V(const Vec3d& v)
{
    return {v[0], v[1], v[2]};
}

Vec3d A(const Vector3d& v)
{
    return {v.x(), v.y(), v.z()};
}

Matrix3d Turn(const std::array<double, 4>& q)
{
    return Eigen::Quaterniond(q[0], q[1], q[2], q[3]).toRotationMatrix();
}

// Into (-pi, pi], for angles within two turns of it (sums and differences
// of atan2's), without a division.
double Wrap(double angle)
{
    constexpr double pi = std::numbers::pi;
    return angle > pi ? angle - 2 * pi : angle <= -pi ? angle + 2 * pi : angle;
}

// An angle with its cosine and sine, so that turning by it again costs no
// trigonometry.
struct Angle
{
    double value = 0;
    double c = 1;
    double s = 0;

    static Angle Of(double value) { return {value, std::cos(value), std::sin(value)}; }
    Angle back() const { return {-value, c, -s}; }
};

// v turned by angle about the unit axis (Rodrigues), cheaper than a matrix
// for the few vectors the solver turns.
Vector3d Turned(const Vector3d& v, const Vector3d& axis, const Angle& angle)
{
    return v * angle.c + axis.cross(v) * angle.s + axis * (axis.dot(v) * (1 - angle.c));
}

// The angle that turns p onto q about the unit axis w (Paden-Kahan
// subproblem 1; p and q at the same height along w).
Angle TurnOnto(const Vector3d& w, const Vector3d& p, const Vector3d& q)
{
    const Vector3d pp = p - w * w.dot(p);
    const Vector3d qq = q - w * w.dot(q);
    const double y = w.dot(pp.cross(qq)), x = pp.dot(qq);
    const double r = std::sqrt(x * x + y * y); // unit-sized: no need for hypot
    if (r == 0)
        return {};
    return {std::atan2(y, x), x / r, y / r};
}

} // namespace

std::optional<ClosedFormIk> ClosedFormIk::Recognise(const RobotModel& robot, std::string* reason)
{
    const auto fail = [reason](std::string why) -> std::optional<ClosedFormIk> {
        if (reason)
            *reason = std::move(why);
        return std::nullopt;
    };
    if (robot.dof() != 6)
        return fail(fmt::format("{} axes, not six", robot.dof()));
    const auto& joints = robot.joints();
    for (std::size_t k = 0; k < 6; ++k) {
        if (joints[k].type != RobotModel::JointType::Revolute)
            return fail(fmt::format("axis {} is not revolute", k + 1));
    }
    if (robot.flangeLinkIndex() != 6)
        return fail("the flange does not sit on the link after axis 6");
    std::array<Vector3d, 6> a;
    std::array<Vector3d, 6> p;
    for (std::size_t k = 0; k < 6; ++k) {
        a[k] = V(joints[k].axis).normalized();
        p[k] = V(joints[k].origin);
    }
    if (std::abs(a[0].dot(a[1])) > kDirectionTolerance)
        return fail("axis 2 is not square to axis 1");
    if (a[1].cross(a[2]).norm() > kDirectionTolerance)
        return fail("axis 3 is not parallel to axis 2");
    if ((p[2] - p[1]).cross(a[1]).norm() < kPointTolerance)
        return fail("axes 2 and 3 are one line");
    const Vector3d n45 = a[3].cross(a[4]);
    if (n45.norm() < kDirectionTolerance)
        return fail("axes 4 and 5 are parallel");
    if (a[4].cross(a[5]).norm() < kDirectionTolerance)
        return fail("axes 5 and 6 are parallel");
    if (std::abs((p[4] - p[3]).dot(n45)) / n45.norm() > kPointTolerance)
        return fail("axes 4 and 5 do not meet");
    // Where axis 4 comes closest to axis 5: there they meet.
    const double t = (p[4] - p[3]).cross(a[4]).dot(n45) / n45.squaredNorm();
    const Vector3d centre = p[3] + t * a[3];
    if ((centre - p[5]).cross(a[5]).norm() > kPointTolerance)
        return fail("axis 6 misses the point where axes 4 and 5 meet");
    for (const auto& coupling : robot.couplings()) {
        for (const auto& other : robot.couplings()) {
            if (other.joint == coupling.lead)
                return fail("a lead axis is coupled itself");
        }
    }

    ClosedFormIk solver;
    const Vector3d z = a[0];
    const Vector3d y = (a[1] - z * z.dot(a[1])).normalized();
    const Vector3d x = y.cross(z);
    Matrix3d frame;
    frame.row(0) = x;
    frame.row(1) = y;
    frame.row(2) = z;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            solver.armFrame[static_cast<std::size_t>(r * 3 + c)] = frame(r, c);
    solver.armOrigin = A(p[0]);
    const Vector3d shoulder = frame * (p[1] - p[0]);
    const Vector3d elbow = frame * (p[2] - p[0]);
    solver.shoulderX = shoulder.x();
    solver.shoulderZ = shoulder.z();
    solver.elbowX = elbow.x();
    solver.elbowZ = elbow.z();
    solver.centre = A(frame * (centre - p[0]));
    if (std::hypot(solver.centre[0] - solver.elbowX, solver.centre[2] - solver.elbowZ) < kPointTolerance)
        return fail("the wrist centre lies on axis 3");
    solver.sign3 = a[1].dot(a[2]) > 0 ? 1 : -1;
    solver.axis1 = A(a[0]);
    solver.axis2 = A(a[1]);
    solver.axis4 = A(a[3]);
    solver.axis5 = A(a[4]);
    solver.axis6 = A(a[5]);
    solver.axis6Normal = A(a[5].unitOrthogonal());
    const RigidTransform& flange = robot.flangeAtZero();
    solver.flangeTurn = flange.q;
    solver.flangeFromCentre = A(Turn(flange.q).transpose() * (V(flange.t) - centre));
    return solver;
}

int ClosedFormIk::solve(const RigidTransform& flange, std::span<const double> reference,
                        std::array<Solution, 8>& out) const
{
    const Matrix3d target = Turn(flange.q);
    Matrix3d frame;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            frame(r, c) = armFrame[static_cast<std::size_t>(r * 3 + c)];
    const Vector3d centreWorld = V(flange.t) - target * V(flangeFromCentre);
    const Vector3d w = frame * (centreWorld - V(armOrigin));
    // Only axis 6 and a vector square to it are followed through the
    // wrist: the target's rotation without the flange's, applied to them.
    const Matrix3d toWrist = target * Turn(flangeTurn).transpose();
    const Vector3d n6 = V(axis6Normal);
    const Vector3d a1 = V(axis1), a2 = V(axis2);
    const Vector3d a4 = V(axis4), a5 = V(axis5), a6 = V(axis6);

    // Axis 1: the arm plane's x reaches the wrist centre beside the side
    // offset (the centre's y).
    const double side = centre[1];
    const double reach2 = w.x() * w.x() + w.y() * w.y() - side * side;
    if (reach2 < -1e-9 * (1 + side * side))
        return 0;
    const double forward = std::sqrt(std::max(reach2, 0.0));

    // Axes 2 and 3 in the arm plane: u from axis 2 to axis 3, v from axis 3
    // to the wrist centre.
    const double ux = elbowX - shoulderX, uz = elbowZ - shoulderZ;
    const double vx = centre[0] - elbowX, vz = centre[2] - elbowZ;
    const double cosTerm = ux * vx + uz * vz;
    const double sinTerm = ux * vz - uz * vx;
    const double armLength = std::hypot(cosTerm, sinTerm);
    const double bend = std::atan2(sinTerm, cosTerm);
    const double uu = ux * ux + uz * uz, vv = vx * vx + vz * vz;
    const double sinMarginWrist = std::sin(kWristMargin);

    // Wrist: the constant parts of the subproblem for axes 4 and 5.
    const double c45 = a4.dot(a5);
    const Vector3d n45 = a4.cross(a5);
    const double den = c45 * c45 - 1;

    int count = 0;
    for (const double s : {1.0, -1.0}) {
        const double x = s * forward;
        const double theta1 = std::atan2(w.y(), w.x()) - std::atan2(side, x);
        const Angle back1 = Angle::Of(-theta1);
        const Vector3d a6After1 = Turned(toWrist * a6, a1, back1);
        const Vector3d n6After1 = Turned(toWrist * n6, a1, back1);
        const double gx = x - shoulderX, gz = w.z() - shoulderZ;
        const double k = (gx * gx + gz * gz - uu - vv) / 2;
        double c = k / armLength;
        if (std::abs(c) > 1 + 1e-9)
            continue;
        c = std::clamp(c, -1.0, 1.0);
        const double opening = std::acos(c);
        const bool elbowSingular = std::sqrt(1 - c * c) < std::sin(kElbowMargin); // sin(opening)
        for (const double e : {1.0, -1.0}) {
            const double phi = bend + e * opening;
            const double theta3 = sign3 * phi;
            const double cosPhi = std::cos(phi), sinPhi = std::sin(phi);
            const double wx = ux + vx * cosPhi + vz * sinPhi;
            const double wz = uz - vx * sinPhi + vz * cosPhi;
            const double theta2 = std::atan2(gx, gz) - std::atan2(wx, wz);
            // Axes 2 and 3 are parallel: together they turn by theta2 + phi.
            const Angle back23 = Angle::Of(-(theta2 + phi));
            const Vector3d q = Turned(a6After1, a2, back23);
            const Vector3d qn = Turned(n6After1, a2, back23);
            // Axes 4 and 5 carry axis 6 onto q (Paden-Kahan subproblem 2),
            // then axis 6 turns the rest.
            const double alpha = (c45 * a5.dot(a6) - a4.dot(q)) / den;
            const double beta = (c45 * a4.dot(q) - a5.dot(a6)) / den;
            const double g2 = (1 - alpha * alpha - beta * beta - 2 * alpha * beta * c45) / n45.squaredNorm();
            if (g2 < -1e-9)
                continue;
            const double gamma = std::sqrt(std::max(g2, 0.0));
            for (const double f : {1.0, -1.0}) {
                const Vector3d zc = alpha * a4 + beta * a5 + f * gamma * n45;
                const bool wristSingular = a4.cross(zc).norm() < sinMarginWrist;
                const bool aligned = a4.cross(zc).norm() < 1e-9;
                Angle theta4;
                Angle theta5;
                if (aligned) {
                    theta4 = Angle::Of(reference.size() > 3 ? reference[3] : 0.0);
                    theta5 = TurnOnto(a5, a6, Turned(q, a4, theta4.back()));
                } else {
                    theta4 = TurnOnto(a4, zc, q);
                    theta5 = TurnOnto(a5, a6, zc);
                }
                const Angle theta6 = TurnOnto(a6, n6, Turned(Turned(qn, a4, theta4.back()), a5, theta5.back()));
                Solution& solution = out[static_cast<std::size_t>(count++)];
                solution.motion = {Wrap(theta1), Wrap(theta2), Wrap(theta3), Wrap(theta4.value), theta5.value, theta6.value};
                solution.shoulderBack = s < 0;
                solution.elbowDown = e < 0;
                solution.wristFlipped = f > 0;
                solution.wristSingular = wristSingular;
                solution.shoulderSingular = forward < kShoulderMargin;
                solution.elbowSingular = elbowSingular;
                // Both wrist branches meet at the singularity.
                if (aligned)
                    break;
            }
        }
    }
    return count;
}

} // namespace cell
