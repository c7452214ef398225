#pragma once

// The station's collision sets, ready to be checked at any joint values of
// its robots: every active `collisionset`, its group A against its group B.
//
//  - Members: an object stands for every shape of the 3D view within it
//    (a robot or tool: its links; a part: each of its bodies; any object: the shapes
//    of the objects it holds), and for whatever is attached to it or to
//    one of those (a tool on a robot's wrist goes with the robot).
//  - Geometry: the triangles of the file the view draws (GeometryCache);
//    where no file is loaded (none given, missing or refused) the box the
//    view draws instead.
//  - Each shape's bounding-volume tree is built once (once per file);
//    checking only moves the shapes riding on robot links.
//  - Pairs never checked: an object with itself, two shapes fixed to each
//    other (on one link, or both standing still), neighbouring links of one
//    robot, which touch at their joint by design, and two shapes of one
//    robot that already touch at its stored joints (stand-in boxes of short
//    links overlap).
//  - A near miss is a pair closer than the set's `nearmiss` (mm) without
//    touching; a set whose `nearmiss` is 0 reports none.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class CellKinematics;
class GeometryCache;

class ZRV_CELL_EXPORT CollisionWorld
{
public:
    struct Contact
    {
        std::uint32_t collisionSet = 0;
        std::uint32_t objectA = 0; // shapes as expanded (link, part, ...)
        std::uint32_t objectB = 0;
        bool collision = false;
        double distance = 0; // depth of a collision, gap of a near miss (mm)
    };

    // root: the document's root; relative files are found from
    // baseDirectory. The kinematics places the robots and must outlive
    // this object.
    CollisionWorld(const std::shared_ptr<sdf::Element>& root, const std::filesystem::path& baseDirectory,
                   const CellKinematics& kinematics, GeometryCache& cache);
    ~CollisionWorld();
    CollisionWorld(const CollisionWorld&) = delete;
    CollisionWorld& operator=(const CollisionWorld&) = delete;

    std::size_t pairCount() const;
    std::size_t shapeCount() const;
    // Shapes drawn as boxes because no file was loaded for them.
    std::size_t boxCount() const;
    // Whether any shape rides on the robot (its moves need checking).
    bool moves(std::uint32_t robot) const;
    // A bound (mm per radian) on how far any point of a shape riding the
    // robot travels when one joint turns: twice the farthest such point's
    // distance from the robot's base, since every joint axis passes within
    // that distance too.
    double reach(std::uint32_t robot) const;

    // The robot a shape (by object id) rides on, 0 for a fixed one.
    std::uint32_t robotOf(std::uint32_t shape) const;

    // Places the shapes riding on the robot for its stored joint values.
    void move(std::uint32_t robot, std::span<const double> joints);
    // Every pair in contact or within its set's near-miss distance, now.
    std::vector<Contact> check() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace cell
