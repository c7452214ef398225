#pragma once

// Inverse kinematics by Orocos KDL's Levenberg-Marquardt solver, for every
// chain the closed form does not cover. Its default weights accept wrong
// orientations (orientation counts a hundredth of position), so position
// (in metres) and orientation (radians) weigh alike here; one random seed
// solves only about five poses in six, so the solver restarts: from the
// seeds it is given (the current joints, home), then from random joint
// values within the limits, and every answer is checked by forward
// kinematics (0.001 mm, 1e-6 rad) before it counts.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace cell {

class RobotModel;

class ZRV_CELL_EXPORT NumericIk
{
public:
    static constexpr int kAttempts = 64;

    explicit NumericIk(const RobotModel& robot);
    ~NumericIk();
    NumericIk(NumericIk&&) noexcept;
    NumericIk& operator=(NumericIk&&) noexcept;

    // Solves for the flange pose (base frame) from each seed, then from
    // random seeds, until `attempts` runs are made or accept (given the
    // motion values of a verified answer) returns true.
    void solve(const RigidTransform& flange, std::span<const std::vector<double>> seeds, int attempts,
               const std::function<bool(std::span<const double>)>& accept) const;

    // Whether the chain's Jacobian (metres, radians) nearly loses rank
    // there: its smallest singular value below 1e-3.
    bool singular(std::span<const double> motion) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace cell
