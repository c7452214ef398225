#pragma once

// Places and orients the targets of an operation along its edges, and adds
// the lead-in and lead-out and the approach and retract moves: the poses of
// the tool frame (TCP) in the world frame, in the order the robot visits
// them. Pure geometry: writing them into the station is PathWriter's part.
//
// The choices a robot programmer would expect, made the same everywhere:
//  - The path frame at a point of an edge: X along the direction of travel,
//    Z against the surface normal (into the material, as a tool points),
//    Y = Z x X, which is the right-hand side of travel seen from above the
//    surface. A target's axes follow it: `movement_axis` (0=X, 1=-X, 2=Y,
//    3=-Y, 4=Z, 5=-Z) names the target axis along X, `normal_axis` the one
//    along Z; the third completes a right-handed frame.
//  - Angles in degrees, each a right-hand turn about an axis of the path
//    frame, applied in this order: work angle about X (leans the tool
//    sideways), travel angle about Y (leans it along the travel), spin
//    angle about Z (turns it about its own axis).
//  - `normal_offset` shifts targets out of the material along the normal,
//    `side_offset` to the right of travel (path Y); both before the angles.
//  - Under "linear_interpolation" and spherical interpolation, blending
//    follows arc length from the first process target (0) to the last (1),
//    over all edges of the operation.
//  - Approximation: Constant spreads targets evenly along each edge, none
//    further apart than `target_spacing` (required above 0), both ends
//    included. Linear keeps the fewest polyline points whose chords stay
//    within `tolerance` of the dropped ones, then splits chords longer than
//    `target_spacing` (when above 0). Circular takes the longest runs of
//    points that lie within `tolerance` of one circle of radius at most
//    `max_radius` (any radius when 0) and at most a half turn, and moves
//    along each as a circular move through its middle point; the rest as
//    Linear. Then targets closer than `min_distance` to the one kept
//    before are dropped, except an edge's last target.
//  - Edges that start where the one before ended (within the tolerance, at
//    least 0.01 mm) continue one row; each row gets its own entry and exit.
//    "Alternating" turns the movement axis round on every second row.
//  - Entry and exit lines and arcs lie in the surface's tangent plane at
//    the row's first (last) target, keep that target's orientation and rise
//    from it to `height_offset` along the normal in proportion to their
//    length. A PerpendicularLine comes from (goes to) the side it names; an
//    Arc of `arc_radius` and `arc_angle` is tangent to the travel and lies
//    on that side too; LineAndArc puts the line tangent at the arc's far
//    end. Arcs are written as linear moves within `tolerance` (10 degree
//    steps when it is 0).
//  - Approach and retract back off from a row's first (last) pose against
//    the target axis that `axis` names (Z by default, so straight out of
//    the material): clearance, approach and feed heights in that order on
//    the way in, the reverse on the way out. The first move of the whole
//    path uses the initial motion type and speed; the clearance, approach
//    and feed moves on the way in use their own (feed: linear at the
//    approach speed); on the way out the feed move is linear at the process
//    speed. A speed id of 0 means the process speed. With `begin_end_only`
//    only the first row gets the way in and only the last the way out;
//    rows in between are joined by a linear move.

#include "cell/EdgeCurve.h"
#include "cell/Export.h"
#include "cell/PathSettings.h"

#include <cstdint>
#include <vector>

namespace cell {

class ZRV_CELL_EXPORT PathGenerator
{
public:
    enum class Role { Clearance, Approach, Feed, Entry, Process, Exit };
    enum class Move
    {
        Joint,
        Linear,
        CircularVia, // the middle point of a circular move; the next pose ends it
        Circular,
    };

    struct Pose
    {
        RigidTransform tool; // the tool frame in the world frame
        Move move = Move::Linear;
        Role role = Role::Process;
        std::uint32_t speed = 0; // speeddata item id
    };

    explicit PathGenerator(PathSettings settings);

    // std::invalid_argument with an exact message when an edge has fewer
    // than two distinct points or the settings cannot place targets
    // ("target_spacing must be above 0 for Constant approximation").
    std::vector<Pose> generate(const std::vector<EdgeCurve>& edges) const;

private:
    PathSettings s;
};

} // namespace cell
