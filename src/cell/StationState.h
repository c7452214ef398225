#pragma once

// Saved states of a station (`simulation/state`): the joint values of every
// mechanism (robots, tools, devices), the pose of every object placed
// directly in the station and every attachment, so that a run can be
// undone. A state records what the station holds, not where the layout
// puts it: restoring gives back the very values saved.
//
// Smart components and signals are not saved.

#include "cell/Export.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT StationState
{
public:
    // Appends a state to the station's `simulation` (made when missing)
    // with a fresh id, named `name`, and returns it. timestamp: ms since
    // the epoch.
    static std::shared_ptr<sdf::Element> Save(const std::shared_ptr<sdf::Element>& root, std::string_view name,
                                              std::string_view description, std::uint64_t timestamp,
                                              bool autoSaved = false);
    // The state saved before a simulation runs: it replaces the earlier
    // automatic one (keeping its id), so that there is one.
    static std::shared_ptr<sdf::Element> AutoSave(const std::shared_ptr<sdf::Element>& root, std::uint64_t timestamp);
    // A state by id or name; nullptr when none.
    static std::shared_ptr<sdf::Element> Find(const std::shared_ptr<sdf::Element>& root, std::string_view idOrName);
    // The automatic state, or nullptr.
    static std::shared_ptr<sdf::Element> LastAutoSaved(const std::shared_ptr<sdf::Element>& root);
    // Puts the saved values back: joints, object poses, and the attachments
    // exactly as saved (those made since are removed). Objects deleted
    // since are skipped.
    static void Restore(const std::shared_ptr<sdf::Element>& root, const sdf::Element& state);
};

} // namespace cell
