#include "sdformat/ObjectFields.h"

#include <algorithm>
#include <array>

namespace sdf {

namespace {

// Elements whose descriptions in the catalogue call their value the id of an
// object ("Id of ...", "The id of ...", "... listed by its id"). All of them
// are "unsigned int" elements; the type check below also keeps apart the
// elements that share a label with a container (`manipulator`, `tooldata`,
// `controller`). 0 means none.
//
//   object fields    parent, child
//   station          objectid (visibility), source_id, target_id
//                    (attachment), object_id (collision groups), anchor
//                    (frame, feature, data item)
//   cell models      parent_link (device frame), role_object (smart component)
//   controllers      manipulator (controller), use_mechanism, mounting_frame,
//                    base_frame_moved_by (mechanical unit), robot_unit,
//                    device_unit (unit group), wrist_id, controller_id (task),
//                    use_mechanical_unit_group (Tavrin task)
//   simulation       id (scenario controllers, tasks and smart components,
//                    saved states), active_scenario_id, source_id, target_id
//                    (saved attachments)
//   operations       mfgid, pathid (operation), bodyid, build_body_id (faces,
//                    curves, layered builds), speed, zone, workobject,
//                    tooldata (path generation: data items), initial_speed,
//                    clearance_speed, approach_speed (approach and retract)
//
// Left out on purpose: `id` of a saved attachment and `task_id` of a Tavrin
// task ("the number that identifies ...": numbers of their own, not object
// ids), `oframeid` (the object frame of a work object's data), `index`,
// `order`, `joint`/`lead_joint` (joint positions, not ids), `next_dataid`
// (a counter), connection endpoints (two ids packed into one 64-bit number)
// and the editor positions `xy` (a vector that starts with an id).
constexpr std::array<std::string_view, 31> kIdLabels = {
    "parent", "child", "anchor", "objectid", "source_id", "target_id", "object_id",
    "parent_link", "role_object", "manipulator", "use_mechanism", "mounting_frame",
    "base_frame_moved_by", "robot_unit", "device_unit", "wrist_id", "controller_id",
    "use_mechanical_unit_group", "id", "active_scenario_id", "mfgid", "pathid", "bodyid",
    "build_body_id", "speed", "zone", "workobject", "tooldata", "initial_speed",
    "clearance_speed", "approach_speed",
};

bool hasChild(const ElementTemplate& templ, std::string_view name)
{
    return std::ranges::any_of(templ._children, [&](const auto& c) { return c._name == name; });
}

} // namespace

bool IsObjectTemplate(const ElementTemplate& templ)
{
    const bool hasId = std::ranges::any_of(templ._attributes, [](const auto& a) { return a._label == "id"; });
    return hasId && hasChild(templ, "name") && hasChild(templ, "parent") && hasChild(templ, "child") &&
           hasChild(templ, "user_file");
}

bool IsIdReference(const ElementTemplate& templ, const ElementTemplate* parentTempl)
{
    if (templ._value._type != "unsigned int" || std::ranges::find(kIdLabels, templ._name) == kIdLabels.end())
        return false;
    // A saved attachment is numbered, not named by an object id.
    return !(templ._name == "id" && parentTempl && parentTempl->_name == "attachment");
}

std::span<const std::string_view> IdReferenceLabels()
{
    return kIdLabels;
}

} // namespace sdf
