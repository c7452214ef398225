#pragma once

// Runs a station's programs once into a MotionTimeline: the robots' joint
// values every few milliseconds, the cycle time of every path and task,
// and the collisions, near misses and limit events along the way.
//
// The motion model (times are an estimate of an ideal controller):
//  - A task's robot starts from its stored joints; the tasks of a run all
//    start at time 0 and move at once.
//  - Movej: every joint moves linearly in joint space, all starting and
//    ending together; the move lasts as long as its slowest joint needs at
//    its speed limit (SimulationOptions), and no less than the tool centre
//    point's straight distance at the speeddata's tcp speed and its
//    reorientation at the orientation speed.
//  - Movel (and every move other than Movej and Movec): the tool centre
//    point on a straight line at the tcp speed, the orientation slerped at
//    the orientation speed; the slower of the two sets the time. The joints
//    at each sample are the inverse kinematics solution nearest the joints
//    before. Movec: two straight moves, through its via target.
//  - Speed over time: a move that starts or ends at a stop (the first and
//    last moves, and every fine point) ramps its speed up or down linearly
//    over SimulationOptions::rampTime; a move too short to reach its speed
//    never does. A zone (not a fine point) means no stop there.
//  - Zones: between two straight moves with the same tool a zone cuts the
//    corner: the path leaves the first line zone mm before the target
//    (never more than half of either move) and joins the next line as far
//    after it, on a parabola through those two points with the target as
//    control point, at the slower move's speed, with the orientation of
//    the target. Between two joint moves a zone cuts the corner in joint
//    space: the joints leave the line to the target the zone's share of
//    the move's straight tool travel before it and join the next move as
//    far after it (never more than half of either), on a parabola with the
//    target's joints as control point, at the speed the slower joint or
//    tool speed allows. Corners between a joint and a straight move are
//    passed exactly, without stopping.
//  - Left out: acceleration limits of the joints and of the tool (the ramp
//    is one time for every move), the controller's own path planning and
//    lookahead, dynamics and payload, external axes, logic, waits, signals
//    and smart components.
//
// Events: a target out of reach or outside the joint limits (Movej: the
// move is skipped; Movel: the robot stops where the line leaves its reach),
// a joint asked to move faster than its limit, a sample within a
// singularity's margin, a change of arm branch (cfx) along a straight move,
// a Movej target whose configuration (robconf) is not available (the
// nearest is taken). One of each kind per instruction, at its first time.
//
// Collisions (CollisionWorld): checked at every sample and, where a robot
// moves further, in between, so that no point of any robot or its tool
// travels more than SimulationOptions::collisionTravel between two checks
// (at most 256 checks between two samples: a robot moving further than that
// within one sample already breaks a speed limit).
// One collision event per pair and instruction, at its first contact, with
// the deepest penetration seen; one near miss the same way with the
// smallest gap.

#include "cell/Export.h"
#include "cell/MotionTimeline.h"
#include "cell/SimulationOptions.h"

#include <filesystem>
#include <memory>
#include <string_view>

namespace sdf {
class Element;
}

namespace cell {

class GeometryCache;

class ZRV_CELL_EXPORT MotionSimulation
{
public:
    // root: the document's root; baseDirectory: the station file's
    // directory (relative geometry files). cache: the geometry already
    // loaded (the window's), or nullptr for a cache of the run's own.
    MotionSimulation(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory,
                     SimulationOptions options = {}, GeometryCache* cache = nullptr);

    // Runs the scenario named (name or id; empty: the station's active
    // one, or every task without one). Throws std::invalid_argument for
    // a scenario that does not exist.
    MotionTimeline run(std::string_view scenario = {}) const;

private:
    std::shared_ptr<sdf::Element> root;
    std::filesystem::path baseDirectory;
    SimulationOptions options;
    GeometryCache* cache;
};

} // namespace cell
