#include "StationSnapshot.h"

#include <sdformat/Element.h>

#include <common/ZrvAssert.h>

namespace zrv::core {

StationSnapshot::StationSnapshot(const QString& text, std::shared_ptr<sdf::Element> root,
                                 std::shared_ptr<sdf::Element> before, std::function<void()> changed)
    : QUndoCommand(text)
    , root(std::move(root))
    , other(std::move(before))
    , changed(std::move(changed))
{
    ZRV_ASSERT(this->root && other, "a station snapshot needs the root and the copy", "plugins/core/StationSnapshot");
}

void StationSnapshot::undo()
{
    swap();
}

void StationSnapshot::redo()
{
    if (done) {
        done = false;
        return;
    }
    swap();
}

void StationSnapshot::swap()
{
    const std::shared_ptr<sdf::Element> current = root->get("station");
    if (!current)
        return;
    const int at = current->index();
    root->remove(current);
    root->insert(static_cast<unsigned int>(at), other);
    other = current;
    if (changed)
        changed();
}

} // namespace zrv::core
