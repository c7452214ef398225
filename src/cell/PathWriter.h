#pragma once

// Writes a generated path into a program task the way the catalogue keeps
// programs: a `path` (its `parent` the task that lists it, as every object's
// parent is its container; the operation names it by `pathid`), one
// `robtarget` data item of the task per target, given in the work object,
// and one instruction per move whose arguments name them: `target` (and
// `via` for a circular move), `speed`, `zone`, `tool` and, when there is a
// work object, `wobj`, each a data item of the task by name. Every new
// object gets a fresh id above all ids in use and not below the station's
// `next_dataid`, which then moves past them.
//
// Replacing removes the operation's previous path and the robtarget items
// its instructions named that no other path names, and nothing else.

#include "cell/Export.h"

#include <zrvrob/RobTarget.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sdf {
class Element;
}

namespace cell {

class ZRV_CELL_EXPORT PathWriter
{
public:
    struct Move
    {
        std::string instruction; // "Movej", "Movel", "Movec"
        zrv::rob::RobTarget target;
        std::optional<zrv::rob::RobTarget> via;
        std::string speed; // data item names
        std::string zone;
    };

    // root: the document's root; task: the program task to hold the path.
    PathWriter(std::shared_ptr<sdf::Element> root, std::shared_ptr<sdf::Element> task);

    // Removes the path with that id from the task and the targets only it
    // named; returns whether there was one.
    bool remove(std::uint32_t pathId);

    // Appends the path named after `name` (made an identifier, with a
    // number added when the task already uses it) and sets the operation's
    // `pathid`. Returns the path; targetNames receives the target items'
    // names in move order (a circular move's via point first).
    std::shared_ptr<sdf::Element> write(sdf::Element& operation, const std::string& name,
                                        const std::vector<Move>& moves, const std::string& tool,
                                        const std::string& workObject, std::vector<std::string>* targetNames = nullptr);

private:
    std::uint32_t freshId();

    std::shared_ptr<sdf::Element> rootElement;
    std::shared_ptr<sdf::Element> taskElement;
    std::uint32_t nextId = 0;
};

} // namespace cell
