#include "cell/StationState.h"

#include "cell/ElementValues.h"

#include <sdformat/Element.h>

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

namespace cell {

namespace {

using detail::FlagAt;
using detail::IdAt;
using detail::TextAt;
using ElementPtr = std::shared_ptr<sdf::Element>;
using Pose = zrv::rob::PoseTemplate<double>;

ElementPtr StationOf(const ElementPtr& root)
{
    ElementPtr station = root && root->label() == "station" ? root : root ? root->get("station") : nullptr;
    if (!station)
        throw std::invalid_argument("the document has no station");
    return station;
}

std::uint32_t LargestId(const sdf::Element& element)
{
    std::uint32_t largest = element.getId(false);
    for (const auto& child : element.elements())
        largest = std::max(largest, LargestId(*child));
    return largest;
}

bool IsMechanism(const std::string& label)
{
    return label == "manipulator" || label == "tool" || label == "device";
}

// Objects whose pose a state keeps: those placed directly in the station.
bool KeepsPose(const sdf::Element& element)
{
    const std::string& label = element.label();
    return element.getId(false) != 0 && label != "attachment" && label != "view_point" && element.get("pose");
}

void Fill(const sdf::Element& station, sdf::Element& state)
{
    for (const auto& element : station.elements()) {
        if (IsMechanism(element->label()) && element->get("joint")) {
            const ElementPtr mechanism = state.append("mechanism");
            mechanism->set<unsigned int>("id", element->getId(false));
            for (const auto& joint : element->children("joint")) {
                const ElementPtr saved = mechanism->append("joint");
                saved->set<unsigned int>("index", IdAt(*joint, "index"));
                saved->set<double>("value", detail::NumberAt(*joint, "value"));
            }
        }
    }
    for (const auto& element : station.elements()) {
        if (!KeepsPose(*element))
            continue;
        const ElementPtr object = state.append("object");
        object->set<unsigned int>("id", element->getId(false));
        object->set<std::string>("name", TextAt(*element, "name"));
        object->set<Pose>("pose", element->valueOr<Pose>("pose", {}));
    }
    for (const auto& attachment : station.children("attachment")) {
        const ElementPtr saved = state.append("attachment");
        saved->set<unsigned int>("id", attachment->getId(false));
        saved->set<unsigned int>("source_id", IdAt(*attachment, "source_id"));
        saved->set<unsigned int>("target_id", IdAt(*attachment, "target_id"));
        saved->set<Pose>("pose", attachment->valueOr<Pose>("pose", {}));
    }
}

} // namespace

ElementPtr StationState::Save(const ElementPtr& root, std::string_view name, std::string_view description,
                              std::uint64_t timestamp, bool autoSaved)
{
    const ElementPtr station = StationOf(root);
    std::uint32_t id = std::max(LargestId(*station) + 1, station->valueOr<unsigned int>("next_dataid", 0u));
    if (id == 0 || id == std::numeric_limits<std::uint32_t>::max())
        throw std::runtime_error("no object id is left for the state");
    const ElementPtr simulation = station->get("simulation") ? station->get("simulation") : station->append("simulation");
    const ElementPtr state = simulation->appendObject("state", id, name);
    state->set<bool>("auto_saved", autoSaved);
    state->set<std::string>("description", std::string(description));
    state->set<std::uint64_t>("timestamp", timestamp);
    state->set<unsigned int>("parent", station->getId(false));
    Fill(*station, *state);
    station->append("child")->setValue<unsigned int>(id);
    if (station->get("next_dataid"))
        station->set<unsigned int>("next_dataid", id + 1);
    return state;
}

ElementPtr StationState::AutoSave(const ElementPtr& root, std::uint64_t timestamp)
{
    const ElementPtr station = StationOf(root);
    ElementPtr state = LastAutoSaved(root);
    if (!state)
        return Save(root, "Before simulation", "Saved before the simulation started", timestamp, true);
    // Keep the object (id, name, parent) and renew what it saved.
    for (const char* label : {"mechanism", "object", "attachment", "smart_component", "controller"})
        state->remove(label, [](const ElementPtr&) { return true; });
    state->set<std::uint64_t>("timestamp", timestamp);
    Fill(*station, *state);
    return state;
}

ElementPtr StationState::Find(const ElementPtr& root, std::string_view idOrName)
{
    const ElementPtr simulation = StationOf(root)->get("simulation");
    if (!simulation)
        return nullptr;
    for (const auto& state : simulation->children("state"))
        if (fmt::format("{}", state->getId(false)) == idOrName)
            return state;
    for (const auto& state : simulation->children("state"))
        if (TextAt(*state, "name") == idOrName)
            return state;
    return nullptr;
}

ElementPtr StationState::LastAutoSaved(const ElementPtr& root)
{
    const ElementPtr simulation = StationOf(root)->get("simulation");
    ElementPtr found;
    if (simulation)
        for (const auto& state : simulation->children("state"))
            if (FlagAt(*state, "auto_saved", false))
                found = state;
    return found;
}

void StationState::Restore(const ElementPtr& root, const sdf::Element& state)
{
    const ElementPtr station = StationOf(root);
    std::unordered_map<std::uint32_t, ElementPtr> objects;
    for (const auto& element : station->elements())
        if (const std::uint32_t id = element->getId(false))
            objects.try_emplace(id, element);

    for (const auto& mechanism : state.children("mechanism")) {
        const auto found = objects.find(IdAt(*mechanism, "id"));
        if (found == objects.end())
            continue;
        for (const auto& saved : mechanism->children("joint")) {
            const std::uint32_t index = IdAt(*saved, "index");
            for (const auto& joint : found->second->children("joint"))
                if (IdAt(*joint, "index") == index)
                    joint->set<double>("value", detail::NumberAt(*saved, "value"));
        }
    }
    for (const auto& object : state.children("object")) {
        const auto found = objects.find(IdAt(*object, "id"));
        if (found != objects.end())
            found->second->set<Pose>("pose", object->valueOr<Pose>("pose", {}));
    }

    std::unordered_set<std::uint32_t> kept;
    for (const auto& saved : state.children("attachment")) {
        const std::uint32_t id = IdAt(*saved, "id");
        kept.insert(id);
        ElementPtr attachment;
        if (const auto found = objects.find(id); found != objects.end() && found->second->label() == "attachment") {
            attachment = found->second;
        } else {
            if (objects.contains(id))
                continue; // the id names something else now
            attachment = station->appendObject("attachment", id, fmt::format("Attachment {}", id));
            attachment->set<unsigned int>("parent", station->getId(false));
            station->append("child")->setValue<unsigned int>(id);
        }
        attachment->set<unsigned int>("source_id", IdAt(*saved, "source_id"));
        attachment->set<unsigned int>("target_id", IdAt(*saved, "target_id"));
        attachment->set<Pose>("pose", saved->valueOr<Pose>("pose", {}));
    }
    std::unordered_set<std::uint32_t> gone;
    for (const auto& attachment : station->children("attachment"))
        if (!kept.contains(attachment->getId(false)))
            gone.insert(attachment->getId(false));
    station->remove("attachment", [&](const ElementPtr& a) { return gone.contains(a->getId(false)); });
    station->remove("child", [&](const ElementPtr& child) {
        return child->hasValue() && gone.contains(child->valueOr<unsigned int>("", 0u));
    });
}

} // namespace cell
