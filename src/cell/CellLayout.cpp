#include "cell/CellLayout.h"

#include "cell/GeometryFormat.h"
#include "cell/MeshFileCheck.h"
#include "cell/RobotModel.h"

#include <sdformat/Element.h>

#include <zrvrob/RobTarget.h>
#include <zrvrob/WObjData.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <system_error>
#include <typeinfo>
#include <unordered_set>

namespace cell {

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

// Reads that never throw: a document that passed the reader has the types
// of its templates, but an element may be missing.
RigidTransform PoseOf(const sdf::Element& element, std::string_view path = "pose")
{
    try {
        return RigidTransform::FromPose(element.valueOr<zrv::rob::PoseTemplate<double>>(path, {}));
    } catch (const std::exception&) {
        return {};
    }
}

std::uint32_t IdAt(const sdf::Element& element, std::string_view path)
{
    try {
        return element.valueOr<unsigned int>(path, 0u);
    } catch (const std::exception&) {
        return 0;
    }
}

std::string TextAt(const sdf::Element& element, std::string_view path)
{
    try {
        return element.valueOr<std::string>(path, std::string());
    } catch (const std::exception&) {
        return {};
    }
}

// The annotated `value` of a data item or argument when it holds a T.
template <class T>
std::optional<T> ValueOf(const ElementPtr& element)
{
    const ElementPtr value = element->get("value");
    if (!value || !value->hasValue() || value->type_info() != typeid(T))
        return std::nullopt;
    return value->as<T>();
}

RigidTransform FrameOf(const zrv::rob::Frame& frame)
{
    return RigidTransform::FromParts({frame.trans.x, frame.trans.y, frame.trans.z},
                                     {frame.rot.w, frame.rot.x, frame.rot.y, frame.rot.z});
}

std::pair<Vec3d, Vec3d> Cube(double half)
{
    return {{-half, -half, -half}, {half, half, half}};
}

// Three axes of that length from the origin, as thick as the view draws
// them.
std::pair<Vec3d, Vec3d> Triad(double length)
{
    const double thick = length / 14;
    return {{-thick, -thick, -thick}, {length, length, length}};
}

constexpr double kPartHalf = 100;      // a part whose geometry is not loaded
constexpr double kComponentHalf = 40;  // smart components, point clouds
constexpr double kFrameAxis = 150;     // frames, work objects, wrists
constexpr double kTargetAxis = 50;     // program targets

} // namespace

CellLayout::CellLayout(std::shared_ptr<sdf::Element> root, std::filesystem::path baseDirectory)
    : rootElement(std::move(root))
    , baseDir(std::move(baseDirectory))
{
    rebuild();
}

bool CellLayout::IsMeshFile(const std::string& uri)
{
    const auto dot = uri.find_last_of('.');
    if (dot == std::string::npos)
        return false;
    // Every format the geometry cache reads, B-rep files included.
    return FormatFromName(std::string_view(uri).substr(dot + 1)).has_value();
}

std::filesystem::path CellLayout::loadable(const std::string& uri, std::optional<std::string>* problem, bool* refused)
{
    problem->reset();
    *refused = false;
    if (uri.empty() || !IsMeshFile(uri))
        return {};
    std::filesystem::path path(uri);
    if (path.is_relative())
        path = baseDir / path;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        *problem = "geometry not loaded: " + path.lexically_normal().string() + " does not exist";
        return {};
    }
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    auto [verdict, fresh] = meshChecks.try_emplace(absolute.string());
    if (fresh)
        verdict->second = MeshFileCheck::Problem(absolute);
    if (!verdict->second)
        return absolute;
    *problem = "geometry not loaded: " + *verdict->second;
    *refused = true;
    return {};
}

std::filesystem::path CellLayout::meshOf(const ElementPtr& object, std::string* fileType)
{
    struct Candidate
    {
        std::string uri;
        std::string type;
    };
    std::vector<Candidate> candidates;
    for (const auto& body : object->children("body"))
        candidates.push_back({TextAt(*body, "geometry/uri"), TextAt(*body, "geometry/file_type")});
    candidates.push_back({TextAt(*object, "uri"), {}});
    for (const auto& file : object->children("user_file"))
        candidates.push_back({TextAt(*file, "uri"), {}});
    std::optional<std::string> missing;
    for (const auto& [uri, type] : candidates) {
        std::optional<std::string> problem;
        bool refused = false;
        std::filesystem::path absolute = loadable(uri, &problem, &refused);
        if (!absolute.empty()) {
            if (fileType)
                *fileType = type;
            return absolute;
        }
        if (refused) {
            problems.push_back({object->getId(false), std::move(*problem)});
            missing.reset();
            break;
        }
        // Said only when no other file of the object can be drawn.
        if (problem && !missing)
            missing = std::move(problem);
    }
    if (missing)
        problems.push_back({object->getId(false), std::move(*missing)});
    return {};
}

std::vector<CellLayout::Item::BodyFile> CellLayout::bodiesOf(const ElementPtr& part)
{
    std::vector<Item::BodyFile> out;
    std::vector<MeshProblem> unread;
    for (const auto& body : part->children("body")) {
        std::optional<std::string> problem;
        bool refused = false;
        std::filesystem::path file = loadable(TextAt(*body, "geometry/uri"), &problem, &refused);
        const std::uint32_t id = body->getId(false);
        if (!file.empty())
            out.push_back({id, std::move(file), TextAt(*body, "geometry/file_type")});
        else if (problem)
            unread.push_back({id != 0 ? id : part->getId(false), std::move(*problem)});
    }
    // Drawn from some of its bodies, the part says which others are not.
    if (!out.empty())
        problems.insert(problems.end(), unread.begin(), unread.end());
    return out;
}

void CellLayout::addItem(Item item)
{
    if (item.object == 0)
        item.object = item.id;
    byObject.try_emplace(item.object, list.size());
    list.push_back(std::move(item));
}

void CellLayout::rebuild()
{
    list.clear();
    pathList.clear();
    problems.clear();
    placements.clear();
    resolved.clear();
    walkMarks.clear();
    byObject.clear();
    relative.clear();
    relativeTo.clear();
    stationHidden.clear();
    collect();
    // Every placed object, drawn or not (joints, attachments' sources).
    for (const auto& entry : placements)
        resolve(entry.first);
    for (std::size_t i = 0; i < relative.size(); ++i) {
        Item& item = list[relative[i].first];
        item.world = resolve(relativeTo[i]) * relative[i].second;
    }
}

void CellLayout::setJointOverride(std::uint32_t mechanism, std::vector<double> values)
{
    if (values.empty())
        jointOverrides.erase(mechanism);
    else
        jointOverrides[mechanism] = std::move(values);
}

void CellLayout::collect()
{
    ElementPtr station = rootElement && rootElement->label() == "station" ? rootElement
                         : rootElement                                     ? rootElement->get("station")
                                                                           : nullptr;
    if (!station)
        return;
    if (const ElementPtr visibility = station->get("visibility")) {
        for (const auto& entry : visibility->children("objectid")) {
            if (entry->hasValue())
                stationHidden.insert(entry->asUInt());
        }
    }
    std::unordered_map<std::uint32_t, RigidTransform> taskFrames;
    std::vector<ElementPtr> attachments;
    std::vector<ElementPtr> tasks;

    // An item placed where its object is.
    const auto own = [this](const ElementPtr& element, Shape shape, std::pair<Vec3d, Vec3d> bounds,
                            std::filesystem::path mesh = {}) {
        Item item;
        item.id = element->getId(false);
        item.label = element->label();
        item.shape = shape;
        item.boundsMin = bounds.first;
        item.boundsMax = bounds.second;
        item.mesh = std::move(mesh);
        relative.emplace_back(list.size(), RigidTransform{});
        relativeTo.push_back(item.id);
        addItem(std::move(item));
    };

    for (const auto& element : station->elements()) {
        const std::string& label = element->label();
        const std::uint32_t id = element->getId(false);
        if (label == "controller") {
            taskFrames[id] = PoseOf(*element, "task_frame");
            continue;
        }
        if (label == "attachment") {
            attachments.push_back(element);
            continue;
        }
        if (label == "task") {
            tasks.push_back(element);
            continue;
        }
        if (id == 0)
            continue;
        if (label == "manipulator" || label == "tool" || label == "device") {
            placements[id] = {PoseOf(*element), IdAt(*element, "parent")};
            placeMechanism(element, id);
        } else if (label == "part") {
            placements[id] = {PoseOf(*element), IdAt(*element, "parent")};
            std::string type;
            std::filesystem::path mesh = meshOf(element, &type);
            const Shape shape = mesh.empty() ? Shape::Box : Shape::Mesh;
            std::vector<Item::BodyFile> bodies;
            // Drawn from its first body: every other body is drawn too.
            if (!mesh.empty()) {
                bodies = bodiesOf(element);
                if (!bodies.empty() && bodies.front().file != mesh)
                    bodies.clear();
            }
            own(element, shape, Cube(kPartHalf), std::move(mesh));
            list.back().meshType = std::move(type);
            list.back().bodies = std::move(bodies);
        } else if (label == "pointcloud" || label == "smart_component") {
            placements[id] = {PoseOf(*element), IdAt(*element, "parent")};
            own(element, Shape::Box, Cube(kComponentHalf));
        } else if (label == "assembly") {
            placements[id] = {PoseOf(*element), IdAt(*element, "parent")};
            own(element, Shape::Triad, Triad(kFrameAxis));
        } else if (label == "frame" || label == "mfg") {
            placements[id] = {PoseOf(*element), IdAt(*element, "anchor")};
            own(element, Shape::Triad, Triad(kFrameAxis));
        }
    }

    // The attachment wins over the source's own pose, which is kept for the
    // data anchored to what it moves.
    std::unordered_map<std::uint32_t, Placement> unattached;
    for (const auto& attachment : attachments) {
        const std::uint32_t source = IdAt(*attachment, "source_id");
        const std::uint32_t target = IdAt(*attachment, "target_id");
        if (source != 0 && source != target) {
            if (const auto own = placements.find(source); own != placements.end())
                unattached.try_emplace(source, own->second);
            placements[source] = {PoseOf(*attachment), target};
        }
    }
    // Where an object stands by its own pose, as if nothing were attached.
    const auto standing = [&](std::uint32_t id) {
        if (unattached.empty())
            return resolve(id);
        for (auto& [source, own] : unattached)
            std::swap(placements[source], own);
        resolved.clear();
        const RigidTransform world = resolve(id);
        for (auto& [source, own] : unattached)
            std::swap(placements[source], own);
        resolved.clear();
        return world;
    };

    for (const auto& task : tasks) {
        const auto frame = taskFrames.find(IdAt(*task, "controller_id"));
        const RigidTransform taskFrame = frame == taskFrames.end() ? RigidTransform{} : frame->second;
        std::unordered_map<std::string, RigidTransform> workObjects;
        std::unordered_map<std::string, RigidTransform> targets;
        for (const auto& data : task->children("dataitem")) {
            const std::string name = TextAt(*data, "name");
            if (const auto wobj = ValueOf<zrv::rob::WObjData>(data)) {
                RigidTransform world = taskFrame * FrameOf(wobj->uframe) * FrameOf(wobj->oframe);
                // Anchored, it is written where it stands while its anchor
                // stands by its own pose, and follows the anchor from there.
                Placement placement{world, 0};
                if (const std::uint32_t anchor = IdAt(*data, "anchor"); anchor != 0 && placements.count(anchor)) {
                    placement = {standing(anchor).inverse() * world, anchor};
                    world = resolve(anchor) * placement.local;
                }
                workObjects.emplace(name, world);
                if (const std::uint32_t id = data->getId(false)) {
                    placements[id] = placement;
                    own(data, Shape::Triad, Triad(kFrameAxis));
                }
            } else if (const auto target = ValueOf<zrv::rob::RobTarget>(data)) {
                targets.emplace(name, RigidTransform::FromParts({target->trans.x, target->trans.y, target->trans.z},
                                                                {target->rot.w, target->rot.x, target->rot.y, target->rot.z}));
            }
        }
        for (const auto& path : task->children("path")) {
            Path line;
            line.id = path->getId(false);
            for (const auto& instruction : path->children("instruction")) {
                // Arguments are told apart by what their values are, not by
                // their names, which differ from one program to the next.
                std::optional<RigidTransform> target;
                std::optional<RigidTransform> workObject;
                for (const auto& argument : instruction->children("argument")) {
                    if (const auto t = ValueOf<zrv::rob::RobTarget>(argument)) {
                        if (!target)
                            target = RigidTransform::FromParts({t->trans.x, t->trans.y, t->trans.z},
                                                               {t->rot.w, t->rot.x, t->rot.y, t->rot.z});
                    } else if (const auto w = ValueOf<zrv::rob::WObjData>(argument)) {
                        if (!workObject)
                            workObject = taskFrame * FrameOf(w->uframe) * FrameOf(w->oframe);
                    } else if (const auto text = ValueOf<std::string>(argument)) {
                        if (const auto named = targets.find(*text); named != targets.end()) {
                            if (!target)
                                target = named->second;
                        } else if (const auto wobj = workObjects.find(*text); wobj != workObjects.end()) {
                            if (!workObject)
                                workObject = wobj->second;
                        }
                    }
                }
                if (!target)
                    continue;
                const RigidTransform world = workObject.value_or(taskFrame) * *target;
                line.points.push_back(world.t);
                Item item;
                item.id = 0;
                item.object = instruction->getId(false);
                item.label = "target";
                item.shape = Shape::Triad;
                item.world = world;
                std::tie(item.boundsMin, item.boundsMax) = Triad(kTargetAxis);
                if (item.object != 0)
                    addItem(std::move(item));
            }
            if (!line.points.empty())
                pathList.push_back(std::move(line));
        }
    }

    applyHidden();
    for (Item& item : list) {
        if (item.shape == Shape::Mesh && failedMeshes.count(item.object))
            item.shape = Shape::Box;
    }
    for (auto& [object, bounds] : meshBounds) {
        if (auto it = byObject.find(object); it != byObject.end() && list[it->second].shape == Shape::Mesh) {
            list[it->second].boundsMin = bounds.first;
            list[it->second].boundsMax = bounds.second;
        }
    }
}

void CellLayout::placeMechanism(const ElementPtr& mechanism, std::uint32_t mechanismId)
{
    std::vector<ElementPtr> links;
    std::vector<ElementPtr> joints;
    for (const auto& element : mechanism->elements()) {
        if (element->label() == "link")
            links.push_back(element);
        else if (element->label() == "joint")
            joints.push_back(element);
    }
    // The robot model places the links, so that the view and kinematics
    // agree (couplings included).
    const RobotModel model = RobotModel::FromMechanism(*mechanism);
    const auto shown = jointOverrides.find(mechanismId);
    const std::vector<RigidTransform> placed =
        model.links(shown != jointOverrides.end() && shown->second.size() == model.dof() ? shown->second
                                                                                       : model.currentValues());
    std::unordered_set<std::uint32_t> linkIds;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (i >= 1 && i - 1 < model.dof()) {
            // The joint frame on the child link, before the joint's own motion.
            const sdf::Element& joint = *joints[i - 1];
            if (const std::uint32_t jointId = joint.getId(false))
                placements[jointId] = {placed[i - 1] * PoseOf(*links[i]) * PoseOf(joint), mechanismId};
        }
        const RigidTransform& current = placed[i];

        const std::uint32_t linkId = links[i]->getId(false);
        if (linkId == 0)
            continue;
        linkIds.insert(linkId);
        placements[linkId] = {current, mechanismId};
        // Without a mesh a link is drawn as a bar from its origin to the
        // next link's, so that an arm reads as an arm.
        Vec3d next{0, 0, 0};
        if (i + 1 < links.size())
            next = PoseOf(*links[i + 1]).t;
        const double length = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
        const double half = std::clamp(length * 0.1, 30.0, 80.0);
        Item item;
        item.id = linkId;
        item.label = "link";
        item.mesh = meshOf(links[i], &item.meshType);
        item.shape = item.mesh.empty() ? Shape::Box : Shape::Mesh;
        for (int c = 0; c < 3; ++c) {
            item.boundsMin[c] = std::min(0.0, next[c]) - half;
            item.boundsMax[c] = std::max(0.0, next[c]) + half;
        }
        relative.emplace_back(list.size(), RigidTransform{});
        relativeTo.push_back(linkId);
        addItem(std::move(item));
    }

    const auto triad = [this](const ElementPtr& element) {
        Item item;
        item.id = element->getId(false);
        item.label = element->label();
        item.shape = Shape::Triad;
        std::tie(item.boundsMin, item.boundsMax) = Triad(kFrameAxis);
        relative.emplace_back(list.size(), RigidTransform{});
        relativeTo.push_back(item.id);
        addItem(std::move(item));
    };
    if (const ElementPtr wrist = mechanism->label() == "manipulator" ? mechanism->get("wrist") : nullptr) {
        if (const std::uint32_t wristId = wrist->getId(false)) {
            std::uint32_t link = IdAt(*wrist, "parent");
            if (!linkIds.count(link))
                link = links.empty() ? mechanismId : links.back()->getId(false);
            placements[wristId] = {PoseOf(*wrist), link};
            triad(wrist);
        }
    }
    for (const auto& frame : mechanism->children("device_frame")) {
        if (const std::uint32_t frameId = frame->getId(false)) {
            const std::uint32_t link = IdAt(*frame, "parent_link");
            placements[frameId] = {PoseOf(*frame), linkIds.count(link) ? link : mechanismId};
            triad(frame);
        }
    }
}

RigidTransform CellLayout::resolve(std::uint32_t id)
{
    // Walks up the chain of references with a list of its own rather than
    // the call stack: a station may nest its objects a million deep.
    std::vector<std::uint32_t>& chain = walkChain;
    chain.clear();
    ++walk;
    RigidTransform base;
    for (std::uint32_t at = id; at != 0;) {
        if (auto done = resolved.find(at); done != resolved.end()) {
            base = done->second;
            break;
        }
        const auto placement = placements.find(at);
        if (placement == placements.end())
            break;
        std::uint64_t& mark = walkMarks[at];
        if (mark == walk) {
            // Met again on its own chain: cut the loop here, that object
            // stands in the world.
            base = resolved.emplace(at, placement->second.local).first->second;
            break;
        }
        mark = walk;
        chain.push_back(at);
        at = placement->second.reference;
    }
    // From the top down, each object in the frame of the one above it.
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (auto done = resolved.find(*it); done != resolved.end()) {
            base = done->second;
            continue;
        }
        base = base * placements.at(*it).local;
        resolved.emplace(*it, base);
    }
    const auto done = resolved.find(id);
    return done == resolved.end() ? RigidTransform{} : done->second;
}

void CellLayout::setViewHidden(std::unordered_set<std::uint32_t> objects)
{
    viewHidden = std::move(objects);
    applyHidden();
}

void CellLayout::applyHidden()
{
    for (Item& item : list)
        item.hidden = hides(item.object);
    for (Path& path : pathList)
        path.hidden = hides(path.id);
}

const CellLayout::Item* CellLayout::find(std::uint32_t object) const
{
    const auto it = byObject.find(object);
    return it == byObject.end() ? nullptr : &list[it->second];
}

const RigidTransform* CellLayout::worldOf(std::uint32_t id) const
{
    const auto it = resolved.find(id);
    return it == resolved.end() ? nullptr : &it->second;
}

void CellLayout::setMeshBounds(std::uint32_t object, const Vec3d& min, const Vec3d& max)
{
    for (int c = 0; c < 3; ++c) {
        if (!std::isfinite(min[c]) || !std::isfinite(max[c]) || min[c] > max[c])
            return;
    }
    meshBounds[object] = {min, max};
    if (auto it = byObject.find(object); it != byObject.end() && list[it->second].shape == Shape::Mesh) {
        list[it->second].boundsMin = min;
        list[it->second].boundsMax = max;
    }
}

void CellLayout::setMeshFailed(std::uint32_t object)
{
    failedMeshes.insert(object);
    if (auto it = byObject.find(object); it != byObject.end() && list[it->second].shape == Shape::Mesh)
        list[it->second].shape = Shape::Box;
}

std::uint32_t CellLayout::pick(const Vec3d& origin, const Vec3d& direction, bool meshes, double* distance) const
{
    const Vec3d dir = Normalised(direction, {0, 0, 0});
    if (dir == Vec3d{0, 0, 0})
        return 0;
    double best = std::numeric_limits<double>::infinity();
    std::uint32_t hit = 0;
    for (const Item& item : list) {
        if (item.hidden || item.shape == Shape::None || (!meshes && item.shape == Shape::Mesh))
            continue;
        // The ray in the item's frame against its box (slab test).
        const RigidTransform inv = item.world.inverse();
        const Vec3d o = inv.apply(origin);
        const Vec3d d = inv.rotate(dir);
        double near = -std::numeric_limits<double>::infinity();
        double far = std::numeric_limits<double>::infinity();
        bool miss = false;
        for (int c = 0; c < 3 && !miss; ++c) {
            if (std::abs(d[c]) < 1e-12) {
                miss = o[c] < item.boundsMin[c] || o[c] > item.boundsMax[c];
                continue;
            }
            double t1 = (item.boundsMin[c] - o[c]) / d[c];
            double t2 = (item.boundsMax[c] - o[c]) / d[c];
            if (t1 > t2)
                std::swap(t1, t2);
            near = std::max(near, t1);
            far = std::min(far, t2);
            miss = near > far;
        }
        if (miss || far < 0)
            continue;
        const double at = std::max(near, 0.0);
        // Frames are thin: a triad loses to a solid it is inside of.
        const double rank = item.shape == Shape::Triad ? at + 1e-3 : at;
        if (rank < best) {
            best = rank;
            hit = item.object;
        }
    }
    if (distance)
        *distance = best;
    return hit;
}

std::pair<Vec3d, Vec3d> CellLayout::worldBounds(const Item& item) const
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    Vec3d lo{inf, inf, inf};
    Vec3d hi{-inf, -inf, -inf};
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3d local{(corner & 1) ? item.boundsMax[0] : item.boundsMin[0],
                          (corner & 2) ? item.boundsMax[1] : item.boundsMin[1],
                          (corner & 4) ? item.boundsMax[2] : item.boundsMin[2]};
        const Vec3d p = item.world.apply(local);
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], p[c]);
            hi[c] = std::max(hi[c], p[c]);
        }
    }
    return {lo, hi};
}

std::pair<Vec3d, Vec3d> CellLayout::worldBounds() const
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    Vec3d lo{inf, inf, inf};
    Vec3d hi{-inf, -inf, -inf};
    bool any = false;
    for (const Item& item : list) {
        if (item.hidden || item.shape == Shape::None)
            continue;
        const auto [a, b] = worldBounds(item);
        for (int c = 0; c < 3; ++c) {
            lo[c] = std::min(lo[c], a[c]);
            hi[c] = std::max(hi[c], b[c]);
        }
        any = true;
    }
    if (!any)
        return {};
    return {lo, hi};
}

} // namespace cell
