#include "cell/CollisionWorld.h"

#include "cell/CellKinematics.h"
#include "cell/CellLayout.h"
#include "cell/ElementValues.h"
#include "cell/GeometryCache.h"
#include "cell/GeometryReference.h"
#include "cell/InverseKinematics.h"

#include <sdformat/Element.h>

#include <fcl/narrowphase/collision.h>
#include <fcl/narrowphase/distance.h>
#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/shape/box.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace cell {

namespace {

using detail::IdAt;
using detail::FlagAt;
using detail::TextAt;
using ElementPtr = std::shared_ptr<sdf::Element>;
using Model = fcl::BVHModel<fcl::OBBRSSd>;

fcl::Transform3d ToFcl(const RigidTransform& pose)
{
    fcl::Transform3d out = fcl::Transform3d::Identity();
    out.linear() = fcl::Quaterniond(pose.q[0], pose.q[1], pose.q[2], pose.q[3]).toRotationMatrix();
    out.translation() = fcl::Vector3d(pose.t[0], pose.t[1], pose.t[2]);
    return out;
}

// The link a shape rides on: robot id and the link's place in its chain.
struct Rider
{
    std::uint32_t robot = 0;
    std::size_t link = 0;
    bool operator<(const Rider& o) const { return std::tie(robot, link) < std::tie(o.robot, o.link); }
    bool operator==(const Rider& o) const = default;
};

} // namespace

class CollisionWorld::Impl
{
public:
    struct Shape
    {
        std::uint32_t id = 0;
        std::optional<Rider> rider;
        RigidTransform onLink; // the shape's frame in its link's frame
        std::unique_ptr<fcl::CollisionObjectd> object;
        bool box = false;
    };

    struct Pair
    {
        std::uint32_t set = 0;
        std::size_t a = 0;
        std::size_t b = 0;
        double nearMiss = 0;
    };

    Impl(const ElementPtr& root, const std::filesystem::path& base, const CellKinematics& kinematics,
         GeometryCache& cache)
        : kinematics(kinematics)
        , layout(root, base)
    {
        const ElementPtr station = root && root->label() == "station" ? root : root ? root->get("station") : nullptr;
        if (!station)
            return;
        index(station);
        for (const GeometryReference& reference : GeometryReference::Find(root, base))
            if (reference.owner != 0)
                files.try_emplace(reference.owner, reference);
        for (const auto& set : station->children("collisionset")) {
            if (!FlagAt(*set, "active", true))
                continue;
            double nearMiss = 0;
            try {
                nearMiss = std::stod(TextAt(*set, "nearmiss"));
            } catch (const std::exception&) {
                nearMiss = 0;
            }
            const std::vector<std::size_t> a = expandGroup(set->get("groupa"), cache);
            const std::vector<std::size_t> b = expandGroup(set->get("groupb"), cache);
            std::set<std::pair<std::size_t, std::size_t>> seen;
            for (const std::size_t i : a) {
                for (const std::size_t j : b) {
                    if (i == j || !seen.insert(std::minmax(i, j)).second || fixedTogether(shapes[i], shapes[j]))
                        continue;
                    if (touchesOnItsOwn(shapes[i], shapes[j]))
                        continue;
                    pairs.push_back({set->getId(false), i, j, std::max(0.0, nearMiss)});
                }
            }
        }
    }

    // Two shapes of one robot already touching at its stored joints touch
    // by design (the boxes standing in for short links overlap): such a
    // pair would report a collision at every step.
    static bool touchesOnItsOwn(const Shape& a, const Shape& b)
    {
        if (!a.rider || !b.rider || a.rider->robot != b.rider->robot)
            return false;
        fcl::CollisionRequestd request;
        fcl::CollisionResultd result;
        fcl::collide(a.object.get(), b.object.get(), request, result);
        return result.isCollision();
    }

    void index(const ElementPtr& station)
    {
        std::function<void(const ElementPtr&, std::uint32_t)> walk = [&](const ElementPtr& element, std::uint32_t top) {
            const std::uint32_t id = element->getId(false);
            if (id != 0) {
                elements.try_emplace(id, element);
                owners.try_emplace(id, top);
            }
            for (const auto& child : element->elements())
                walk(child, top);
        };
        for (const auto& child : station->elements()) {
            walk(child, child->getId(false));
            if (child->label() == "attachment")
                attachedTo[IdAt(*child, "target_id")].push_back(IdAt(*child, "source_id"));
            if (child->label() == "manipulator") {
                std::size_t k = 0;
                for (const auto& link : child->children("link"))
                    links[link->getId(false)] = {child->getId(false), k++};
            }
        }
    }

    // What moves the object: the robot link it is, is attached to, or
    // whose holder is attached to one.
    std::optional<Rider> riderOf(std::uint32_t id, int depth = 0) const
    {
        if (depth > 32 || id == 0)
            return std::nullopt;
        if (const auto link = links.find(id); link != links.end())
            return link->second;
        if (const auto element = elements.find(id); element != elements.end() && element->second->label() == "wrist")
            return riderOf(IdAt(*element->second, "parent"), depth + 1);
        const auto owner = owners.find(id);
        const std::uint32_t top = owner == owners.end() ? id : owner->second;
        for (const auto& [target, sources] : attachedTo)
            for (const std::uint32_t source : sources)
                if (source == top && target != top)
                    return riderOf(target, depth + 1);
        return std::nullopt;
    }

    std::vector<std::size_t> expandGroup(const ElementPtr& group, GeometryCache& cache)
    {
        std::vector<std::size_t> out;
        if (!group)
            return out;
        std::unordered_set<std::uint32_t> visited;
        std::function<void(std::uint32_t)> expand = [&](std::uint32_t id) {
            if (id == 0 || !visited.insert(id).second)
                return;
            const auto element = elements.find(id);
            if (element == elements.end())
                return;
            std::function<void(const ElementPtr&)> walk = [&](const ElementPtr& e) {
                const std::uint32_t eid = e->getId(false);
                if (eid != 0) {
                    if (const auto shape = shapeFor(eid, cache))
                        out.push_back(*shape);
                    if (const auto attached = attachedTo.find(eid); attached != attachedTo.end())
                        for (const std::uint32_t source : attached->second)
                            expand(source);
                }
                for (const auto& child : e->elements())
                    walk(child);
            };
            walk(element->second);
        };
        for (const auto& member : group->children("object_id"))
            expand(member->valueOr<unsigned int>("", 0u));
        std::sort(out.begin(), out.end());
        out.erase(std::unique(out.begin(), out.end()), out.end());
        return out;
    }

    std::optional<std::size_t> shapeFor(std::uint32_t id, GeometryCache& cache)
    {
        if (const auto known = shapeIndex.find(id); known != shapeIndex.end())
            return known->second;
        const CellLayout::Item* item = layout.find(id);
        std::shared_ptr<fcl::CollisionGeometryd> geometry;
        if (!item || item->id != id) {
            // A part drawn from several files: each body after the first
            // (the part's own shape) is a shape of its own, in the part's
            // frame.
            const auto body = bodies().find(id);
            if (body == bodies().end())
                return std::nullopt;
            item = body->second.first;
            geometry = meshOf(body->second.second->file, body->second.second->type, cache);
            if (!geometry)
                return std::nullopt;
        } else if (item->shape != CellLayout::Shape::Mesh && item->shape != CellLayout::Shape::Box) {
            return std::nullopt;
        } else {
            geometry = meshOf(*item, cache);
        }
        Shape shape;
        shape.id = id;
        if (!geometry) {
            shape.box = true;
            const Vec3d& lo = item->boundsMin;
            const Vec3d& hi = item->boundsMax;
            auto box = std::make_shared<fcl::Boxd>(std::max(hi[0] - lo[0], 1e-3), std::max(hi[1] - lo[1], 1e-3),
                                                   std::max(hi[2] - lo[2], 1e-3));
            geometry = box;
            boxCentre[id] = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
        }
        const RigidTransform frame = item->world * RigidTransform::Translation(centreOf(id));
        shape.rider = riderOf(id);
        if (shape.rider) {
            const InverseKinematics* robot = kinematics.robot(std::to_string(shape.rider->robot));
            if (!robot) {
                shape.rider.reset();
            } else {
                const RobotModel& model = robot->robot();
                const RigidTransform link = model.base() * model.links(model.currentValues())[shape.rider->link];
                shape.onLink = link.inverse() * frame;
                robotsMoving.insert(shape.rider->robot);
            }
        }
        shape.object = std::make_unique<fcl::CollisionObjectd>(geometry, ToFcl(frame));
        shape.object->computeAABB();
        shapes.push_back(std::move(shape));
        shapeIndex[id] = shapes.size() - 1;
        return shapes.size() - 1;
    }

    Vec3d centreOf(std::uint32_t id) const
    {
        const auto it = boxCentre.find(id);
        return it == boxCentre.end() ? Vec3d{0, 0, 0} : it->second;
    }

    // The second and further bodies of every part drawn from several
    // files, by body id: the part's item and the body's file.
    using BodyShapes =
        std::unordered_map<std::uint32_t, std::pair<const CellLayout::Item*, const CellLayout::Item::BodyFile*>>;
    const BodyShapes& bodies()
    {
        if (!bodyShapes) {
            bodyShapes.emplace();
            for (const CellLayout::Item& item : layout.items())
                for (std::size_t k = 1; k < item.bodies.size(); ++k)
                    bodyShapes->try_emplace(item.bodies[k].id, &item, &item.bodies[k]);
        }
        return *bodyShapes;
    }

    // The file's triangles as one tree, built once per file.
    std::shared_ptr<fcl::CollisionGeometryd> meshOf(const CellLayout::Item& item, GeometryCache& cache)
    {
        if (!item.mesh.empty())
            return meshOf(item.mesh, item.meshType, cache);
        const auto reference = files.find(item.id);
        if (reference == files.end())
            return nullptr;
        return meshOf(reference->second.file, reference->second.fileType, cache);
    }

    std::shared_ptr<fcl::CollisionGeometryd> meshOf(const std::filesystem::path& file, const std::string& fileType,
                                                     GeometryCache& cache)
    {
        LoadOptions options;
        options.fileType = fileType;
        const std::string key = file.string() + "\n" + options.key();
        if (const auto known = models.find(key); known != models.end())
            return known->second;
        std::shared_ptr<Model> model;
        try {
            const GeometryCache::Result geometry = cache.get(file, options);
            if (geometry && geometry->indices.size() >= 3) {
                std::vector<fcl::Vector3d> vertices;
                vertices.reserve(geometry->positions.size() / 3);
                for (std::size_t k = 0; k + 2 < geometry->positions.size(); k += 3)
                    vertices.emplace_back(geometry->positions[k], geometry->positions[k + 1], geometry->positions[k + 2]);
                std::vector<fcl::Triangle> triangles;
                triangles.reserve(geometry->indices.size() / 3);
                for (std::size_t k = 0; k + 2 < geometry->indices.size(); k += 3)
                    triangles.emplace_back(geometry->indices[k], geometry->indices[k + 1], geometry->indices[k + 2]);
                model = std::make_shared<Model>();
                model->beginModel(static_cast<int>(triangles.size()), static_cast<int>(vertices.size()));
                model->addSubModel(vertices, triangles);
                model->endModel();
            }
        } catch (const std::exception&) {
            model.reset();
        }
        models[key] = model;
        return model;
    }

    static bool fixedTogether(const Shape& a, const Shape& b)
    {
        if (!a.rider && !b.rider)
            return true;
        if (a.rider && b.rider && a.rider->robot == b.rider->robot) {
            const std::size_t i = a.rider->link;
            const std::size_t j = b.rider->link;
            return i == j || i + 1 == j || j + 1 == i;
        }
        return false;
    }

    const CellKinematics& kinematics;
    CellLayout layout;
    std::unordered_map<std::uint32_t, ElementPtr> elements;
    std::unordered_map<std::uint32_t, std::uint32_t> owners;
    std::map<std::uint32_t, std::vector<std::uint32_t>> attachedTo;
    std::unordered_map<std::uint32_t, Rider> links;
    std::unordered_map<std::uint32_t, GeometryReference> files;
    std::unordered_map<std::uint32_t, Vec3d> boxCentre;
    std::unordered_map<std::string, std::shared_ptr<Model>> models;
    std::unordered_map<std::uint32_t, std::size_t> shapeIndex;
    std::optional<BodyShapes> bodyShapes;
    std::vector<Shape> shapes;
    std::vector<Pair> pairs;
    std::set<std::uint32_t> robotsMoving;
};

CollisionWorld::CollisionWorld(const std::shared_ptr<sdf::Element>& root, const std::filesystem::path& baseDirectory,
                               const CellKinematics& kinematics, GeometryCache& cache)
    : impl(std::make_unique<Impl>(root, baseDirectory, kinematics, cache))
{
}

CollisionWorld::~CollisionWorld() = default;

std::size_t CollisionWorld::pairCount() const
{
    return impl->pairs.size();
}

std::size_t CollisionWorld::shapeCount() const
{
    return impl->shapes.size();
}

std::size_t CollisionWorld::boxCount() const
{
    return static_cast<std::size_t>(
        std::count_if(impl->shapes.begin(), impl->shapes.end(), [](const Impl::Shape& s) { return s.box; }));
}

bool CollisionWorld::moves(std::uint32_t robot) const
{
    return impl->robotsMoving.contains(robot);
}

double CollisionWorld::reach(std::uint32_t robot) const
{
    const InverseKinematics* ik = impl->kinematics.robot(std::to_string(robot));
    if (!ik)
        return 0;
    const Vec3d base = ik->robot().base().t;
    double farthest = 0;
    for (const Impl::Shape& shape : impl->shapes) {
        if (!shape.rider || shape.rider->robot != robot)
            continue;
        const fcl::AABBd& box = shape.object->getAABB();
        for (int corner = 0; corner < 8; ++corner) {
            const double x = (corner & 1 ? box.max_[0] : box.min_[0]) - base[0];
            const double y = (corner & 2 ? box.max_[1] : box.min_[1]) - base[1];
            const double z = (corner & 4 ? box.max_[2] : box.min_[2]) - base[2];
            farthest = std::max(farthest, std::sqrt(x * x + y * y + z * z));
        }
    }
    return 2 * farthest;
}

std::uint32_t CollisionWorld::robotOf(std::uint32_t shape) const
{
    const auto index = impl->shapeIndex.find(shape);
    if (index == impl->shapeIndex.end())
        return 0;
    const auto& rider = impl->shapes[index->second].rider;
    return rider ? rider->robot : 0;
}

void CollisionWorld::move(std::uint32_t robot, std::span<const double> joints)
{
    if (!moves(robot))
        return;
    const InverseKinematics* ik = impl->kinematics.robot(std::to_string(robot));
    if (!ik)
        return;
    const RobotModel& model = ik->robot();
    const std::vector<RigidTransform> links = model.links(joints);
    for (Impl::Shape& shape : impl->shapes) {
        if (!shape.rider || shape.rider->robot != robot)
            continue;
        shape.object->setTransform(ToFcl(model.base() * links[shape.rider->link] * shape.onLink));
        shape.object->computeAABB();
    }
}

std::vector<CollisionWorld::Contact> CollisionWorld::check() const
{
    std::vector<Contact> out;
    for (const Impl::Pair& pair : impl->pairs) {
        const fcl::CollisionObjectd& a = *impl->shapes[pair.a].object;
        const fcl::CollisionObjectd& b = *impl->shapes[pair.b].object;
        const fcl::AABBd& boxA = a.getAABB();
        const fcl::AABBd& boxB = b.getAABB();
        // The boxes' gap bounds the shapes' from below: most pairs end here.
        if (boxA.distance(boxB) > pair.nearMiss)
            continue;
        fcl::CollisionRequestd request;
        fcl::CollisionResultd result;
        fcl::collide(&a, &b, request, result);
        Contact contact{pair.set, impl->shapes[pair.a].id, impl->shapes[pair.b].id, false, 0};
        if (result.isCollision()) {
            fcl::CollisionRequestd deep(16, true);
            fcl::CollisionResultd contacts;
            fcl::collide(&a, &b, deep, contacts);
            for (std::size_t k = 0; k < contacts.numContacts(); ++k)
                contact.distance = std::max(contact.distance, contacts.getContact(k).penetration_depth);
            contact.collision = true;
            out.push_back(contact);
            continue;
        }
        if (pair.nearMiss <= 0)
            continue;
        fcl::DistanceRequestd request2;
        fcl::DistanceResultd distance;
        fcl::distance(&a, &b, request2, distance);
        if (distance.min_distance >= 0 && distance.min_distance <= pair.nearMiss) {
            contact.distance = distance.min_distance;
            out.push_back(contact);
        }
    }
    return out;
}

} // namespace cell
