#pragma once

// All inverse kinematics solutions, in closed form, of a six-axis arm with
// an ortho-parallel base and a spherical wrist (after M. Brandstötter,
// A. Angerer, M. Hofbaur, "An Analytical Solution of the Inverse Kinematics
// Problem of Industrial Serial Manipulators with an Ortho-parallel Basis
// and a Spherical Wrist", Austrian Robotics Workshop 2014). Written here
// because no Debian package offers such a solver (no OPW or IKFast package
// in bookworm); the numerical one (NumericIk) covers every other chain.
//
// The arm is recognised from its own axes and offsets, in whatever pose its
// zero is: six revolute joints, axis 2 square to axis 1, axis 3 parallel to
// axis 2 on another line, axes 4, 5 and 6 meeting in one point (the wrist
// centre) with 5 crossing 4 and 6. Offsets sideways (b), along the arm
// (a1, a2) and up (c1) come out of the geometry, so the paper's seven
// parameters are never spelled out: the wrist centre is found from the
// flange, axis 1 turns the arm plane towards it (front or back: shoulder),
// the law of cosines gives axes 2 and 3 (elbow up or down) and the wrist's
// three angles follow from the remaining rotation (two wrist branches).
//
// Branches of a solution (the bits of robconf's cfx, see ArmConfiguration):
//   shoulder  the wrist centre lies behind axis 1 (the arm plane's
//             negative side, seen from axis 2's zero pose);
//   elbow     the elbow lies on the negative side of the line from axis 2
//             to the wrist centre (turning about axis 2's direction);
//   wrist     axis 6 (turned by axis 5) leans to the positive side of
//             axis 4 x axis 5 (both at zero).
// Singularities, with these margins:
//   wrist     axes 4 and 6 within 1 degree of each other;
//   shoulder  the wrist centre within 10 mm of the plane through axis 1
//             parallel to axis 2 (on axis 1 when there is no side offset);
//   elbow     the arm within 1 degree of stretched or folded.
// Near a wrist singularity axis 4 keeps the reference value (the current
// joints) so that axes 4 and 6 do not jump.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <array>
#include <optional>
#include <span>
#include <string>

namespace cell {

class RobotModel;

class ZRV_CELL_EXPORT ClosedFormIk
{
public:
    static constexpr double kWristMargin = 0.017453292519943295;    // 1 degree
    static constexpr double kElbowMargin = 0.017453292519943295;    // 1 degree
    static constexpr double kShoulderMargin = 10;                   // mm

    struct Solution
    {
        std::array<double, 6> motion{}; // motion values, radians in (-pi, pi]
        bool shoulderBack = false;
        bool elbowDown = false;
        bool wristFlipped = false;
        bool wristSingular = false;
        bool shoulderSingular = false;
        bool elbowSingular = false;
    };

    // The solver for that robot, or nothing with why it does not fit
    // (written to *reason).
    static std::optional<ClosedFormIk> Recognise(const RobotModel& robot, std::string* reason = nullptr);

    // Every solution (up to eight, limits not applied) for the flange pose
    // in the base frame; returns how many were written to out. reference:
    // six motion values, for the wrist singularity.
    int solve(const RigidTransform& flange, std::span<const double> reference, std::array<Solution, 8>& out) const;

private:
    ClosedFormIk() = default;

    // All in the arm frame: origin on axis 1, z along axis 1, y along
    // axis 2 (at zero), x = y x z.
    std::array<double, 9> armFrame{}; // rows: x, y, z in base coordinates
    Vec3d armOrigin{};
    double shoulderX = 0, shoulderZ = 0; // axis 2 in the xz plane
    double elbowX = 0, elbowZ = 0;       // axis 3
    Vec3d centre{};                      // wrist centre, arm frame, zero pose
    double sign3 = 1;                    // axis 3 = sign3 x axis 2
    Vec3d axis4{}, axis5{}, axis6{};     // base frame, zero pose
    Vec3d axis6Normal{};                 // a unit vector square to axis 6
    Vec3d flangeFromCentre{};            // in the flange frame
    std::array<double, 4> flangeTurn{};  // the flange's zero orientation
    Vec3d axis1{}, axis2{};
};

} // namespace cell
