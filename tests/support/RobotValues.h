#pragma once

// Plausible values of the robot value types: positions in millimetres with
// the precision people type, unit quaternions, the standard speed and zone
// tables of robot programs, tool loads of a few kilograms.

#include "GeneratorRandom.h"

#include <sdformat/OrientTemplate.h>
#include <sdformat/PosTemplate.h>
#include <sdformat/PoseTemplate.h>
#include <sdformat/Vec3Template.h>

#include <zrvrob/JointTarget.h>
#include <zrvrob/RobTarget.h>
#include <zrvrob/SpeedData.h>
#include <zrvrob/ToolData.h>
#include <zrvrob/WObjData.h>
#include <zrvrob/ZoneData.h>

namespace sdf::testing {

using Vec3 = zrv::rob::Vec3Template<double>;
using Pos = zrv::rob::PosTemplate<double>;
using Orient = zrv::rob::OrientTemplate<double>;
using Pose = zrv::rob::PoseTemplate<double>;

// Within reach millimetres of the origin, on the floor or above it.
Pos RandomPosition(GeneratorRandom& rng, double reach);
// Mostly the orientations of a cell layout (multiples of 90 degrees about
// one axis, tool pointing down), sometimes an arbitrary rotation.
Orient RandomOrientation(GeneratorRandom& rng);
Pose RandomPose(GeneratorRandom& rng, double reach);
// A unit axis, usually a principal one.
Vec3 RandomAxis(GeneratorRandom& rng);

zrv::rob::ToolData RandomToolData(GeneratorRandom& rng);
zrv::rob::WObjData RandomWObjData(GeneratorRandom& rng);
zrv::rob::SpeedData StandardSpeed(GeneratorRandom& rng);
zrv::rob::ZoneData StandardZone(GeneratorRandom& rng);
zrv::rob::RobTarget RandomRobTarget(GeneratorRandom& rng);
zrv::rob::JointTarget RandomJointTarget(GeneratorRandom& rng);

} // namespace sdf::testing
