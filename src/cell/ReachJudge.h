#pragma once

// The seam where kinematics plugs into path generation: a judge is asked,
// target by target in path order, whether the robot reaches the tool frame
// (world frame) and in which arm configuration, given the configuration
// chosen for the target before (none for the first), so that it can keep
// the nearest one and the arm does not flip along a seam.

#include "cell/RigidTransform.h"

#include <zrvrob/ConfData.h>

#include <functional>
#include <optional>
#include <vector>

namespace cell {

enum class PathReach
{
    NotJudged,           // no judge was given
    Reachable,           // reached in the configuration of the target before
    ConfigurationChange, // reached, but only in another configuration
    Unreachable,
};

struct ReachVerdict
{
    PathReach status = PathReach::NotJudged;
    zrv::rob::ConfData configuration;
    std::vector<double> joints; // radians or millimetres, the judge's order
};

using ReachJudge = std::function<ReachVerdict(const RigidTransform& toolInWorld, const ReachVerdict* previous)>;

} // namespace cell
