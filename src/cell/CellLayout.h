#pragma once

// Where everything of a station is in the cell: the world pose of every
// object that has a place, the shape the 3D view draws for it and the
// program paths as lines through their targets. Built from the document
// alone (no Qt), so that it can be tested without a window.
//
// How poses compose (the world frame is the station's):
//  - A `pose` is given in the frame of the object's positional parent, which
//    is, by kind:
//      frame, mfg          the object named by `anchor`;
//      wrist               the link named by its `parent`;
//      device_frame        the link named by `parent_link`, else its device;
//      link, joint         their mechanism, through the kinematic chain below;
//      manipulator, tool, device, part, assembly, pointcloud, smart_component
//                          the object named by `parent` when that object has
//                          a place itself (an assembly holding a part, a
//                          smart component holding a tool), else the world.
//    An id of 0, or one that names nothing placed, means the world.
//  - An attachment puts its source object at `pose` in the frame of its
//    target object, whatever the source's own pose says; whatever is placed
//    relative to the source moves along (a tool on a robot's wrist).
//  - A mechanism's links form a chain in document order: the first link's
//    pose is given in the mechanism's frame, each further link's pose in
//    the frame of the link before it. The k-th joint (document order) joins
//    link k-1 (parent) to link k (child). Its pose places the joint frame in
//    the child link's frame; its `axis/xyz` is a direction in the
//    mechanism's base frame with all joints at zero. A revolute joint turns
//    the child link by `value` radians about that axis through the joint
//    frame's origin; a prismatic one shifts it by `value` millimetres along
//    the axis. Every link after a joint moves with it, none before it. A
//    coupled joint (`dependency`) moves by its value plus factor x its
//    lead's (RobotModel states the chain once for the view and kinematics).
//  - A program target (the first robtarget argument of an instruction, or
//    the robtarget data item an argument names) is given in its work
//    object: the first wobjdata argument of the instruction, or the wobjdata
//    data item of the task that an argument names, else the task frame.
//    Arguments count by their values alone, whatever they are called. A
//    work object's frame is the task frame composed with its user frame and
//    then its object frame; the task frame is the `task_frame` of the
//    controller named by the task's `controller_id`. A work object with an
//    `anchor` follows that object: its frame is where it stands while the
//    anchor stands by its own pose, and an attachment that moves the anchor
//    (or anything the anchor is placed on) moves the work object and its
//    targets along. Frames and features follow their anchor through their
//    pose, as above.
//  - Objects listed in the station's `visibility` are hidden.
// Chains that loop back on themselves are cut where they meet an object
// already on the way: that object is placed in the world.

#include "cell/Export.h"
#include "cell/RigidTransform.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT CellLayout
{
public:
    enum class Shape
    {
        None,  // placed, not drawn (joints, attachments)
        Box,   // a block standing in for geometry that is not loaded
        Mesh,  // a geometry file (mesh or B-rep) the view loads
        Triad, // axes of a frame
    };

    struct Item
    {
        std::uint32_t id = 0;
        std::string label; // element label: "link", "part", "frame", ...
        RigidTransform world;
        Shape shape = Shape::None;
        std::filesystem::path mesh; // absolute, for Shape::Mesh
        std::string meshType;       // its body's geometry/file_type, may be empty
        // A part's bodies whose files can be drawn, in document order (the
        // first is `mesh`). A body has no pose of its own: its file is in
        // the part's frame.
        struct BodyFile
        {
            std::uint32_t id = 0;
            std::filesystem::path file;
            std::string type;
        };
        std::vector<BodyFile> bodies;
        // Extent in the item's own frame: the box drawn, and what picking
        // hits (a mesh's until the view reports the loaded one).
        Vec3d boundsMin{0, 0, 0};
        Vec3d boundsMax{0, 0, 0};
        // In the station's `visibility` list, or hidden in the view.
        bool hidden = false;
        // The object the item stands for when picked or selected (a
        // program target stands for its instruction).
        std::uint32_t object = 0;
    };

    // A geometry file that is not loaded because it is missing or
    // MeshFileCheck refused it; its object is drawn as a box.
    struct MeshProblem
    {
        std::uint32_t object = 0;
        std::string message;
    };

    struct Path
    {
        std::uint32_t id = 0;
        std::vector<Vec3d> points; // world positions of the targets, in order
        bool hidden = false;       // hidden in the view, or in `visibility`
    };

    // root: the document's root element; relative geometry files are found
    // from baseDirectory (the station file's directory).
    CellLayout(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory);

    // Reads the document again: poses, joint values, attachments.
    void rebuild();

    const std::shared_ptr<sdf::Element>& root() const { return rootElement; }
    const std::filesystem::path& baseDirectory() const { return baseDir; }
    // Joint values shown for a mechanism in place of the document's (a
    // simulation played back), from the next rebuild on; the document
    // stays as it is. An empty list takes the override away.
    void setJointOverride(std::uint32_t mechanism, std::vector<double> values);
    void clearJointOverrides() { jointOverrides.clear(); }

    const std::vector<Item>& items() const { return list; }
    const std::vector<Path>& paths() const { return pathList; }
    const std::vector<MeshProblem>& meshProblems() const { return problems; }
    // The first item standing for that object (its own shape first), or
    // nullptr.
    const Item* find(std::uint32_t object) const;
    // The world pose of a placed object, or nullptr.
    const RigidTransform* worldOf(std::uint32_t id) const;

    // Objects the view hides besides the station's `visibility` list (view
    // state, not the document's): their items and paths are hidden, now
    // and after every rebuild. The caller names every object to hide
    // (descendants included).
    void setViewHidden(std::unordered_set<std::uint32_t> objects);
    // Whether the object is hidden, by the station or by the view.
    bool hides(std::uint32_t object) const
    {
        return stationHidden.count(object) != 0 || viewHidden.count(object) != 0;
    }

    // Replaces the extent an item's mesh turned out to have.
    void setMeshBounds(std::uint32_t object, const Vec3d& min, const Vec3d& max);
    // Whether the view reported the extent of the object's mesh.
    bool meshBoundsKnown(std::uint32_t object) const { return meshBounds.count(object) != 0; }
    // The mesh could not be loaded: the item is drawn as a box instead.
    void setMeshFailed(std::uint32_t object);

    // The object whose shape the ray (world origin, direction) meets first,
    // or 0. Hidden items are not hit; nor are loaded meshes without
    // `meshes` (the view picks those by their triangles). distance, when
    // given, receives how far along the unit ray the hit is (infinity for
    // none).
    std::uint32_t pick(const Vec3d& origin, const Vec3d& direction, bool meshes = true,
                       double* distance = nullptr) const;

    // World box around every shown item (min, max); both zero when empty.
    std::pair<Vec3d, Vec3d> worldBounds() const;
    std::pair<Vec3d, Vec3d> worldBounds(const Item& item) const;

    // Whether the file name is a format the geometry cache reads (mesh or
    // B-rep, see GeometryFormat).
    static bool IsMeshFile(const std::string& uri);

private:
    struct Placement
    {
        RigidTransform local;
        std::uint32_t reference = 0;
    };

    void collect();
    void placeMechanism(const std::shared_ptr<sdf::Element>& mechanism, std::uint32_t mechanismId);
    void collectTask(const std::shared_ptr<sdf::Element>& task);
    RigidTransform resolve(std::uint32_t id);
    // The first geometry file of the object that may be loaded (empty when
    // none; a missing or refused one is reported in meshProblems()).
    std::filesystem::path meshOf(const std::shared_ptr<sdf::Element>& object, std::string* fileType = nullptr);
    void addItem(Item item);
    // The bodies of a part whose files can be drawn (see meshOf).
    std::vector<Item::BodyFile> bodiesOf(const std::shared_ptr<sdf::Element>& part);
    // The absolute path of a geometry file that may be loaded; else empty
    // with the problem in *problem, *refused telling a file MeshFileCheck
    // refused from a missing one (empty uri or not geometry: no problem).
    std::filesystem::path loadable(const std::string& uri, std::optional<std::string>* problem, bool* refused);
    void applyHidden();

    std::shared_ptr<sdf::Element> rootElement;
    std::filesystem::path baseDir;
    std::unordered_map<std::uint32_t, Placement> placements;
    std::unordered_map<std::uint32_t, RigidTransform> resolved;
    // resolve()'s chain of references, kept between calls for its memory,
    // and the number of the last walk each object was on.
    std::vector<std::uint32_t> walkChain;
    std::unordered_map<std::uint32_t, std::uint64_t> walkMarks;
    std::uint64_t walk = 0;
    std::vector<Item> list;
    std::vector<Path> pathList;
    std::vector<MeshProblem> problems;
    // Each file's verdict, found once (where the layout is first built, off
    // the window's thread) and kept across rebuilds.
    std::unordered_map<std::string, std::optional<std::string>> meshChecks;
    std::unordered_map<std::uint32_t, std::size_t> byObject;
    std::unordered_map<std::uint32_t, std::pair<Vec3d, Vec3d>> meshBounds;
    std::unordered_set<std::uint32_t> failedMeshes;
    std::unordered_set<std::uint32_t> stationHidden;
    std::unordered_set<std::uint32_t> viewHidden;
    std::unordered_map<std::uint32_t, std::vector<double>> jointOverrides;
    // Items whose world pose is that of a placed object, filled in once
    // every placement is known.
    std::vector<std::pair<std::size_t, RigidTransform>> relative;
    std::vector<std::uint32_t> relativeTo;
};

} // namespace cell
