#include "StructureEdit.h"

#include <utility>

namespace zrv::core {

StructureEdit::StructureEdit(const QString& name, Restore restoreText, std::string was, std::uint32_t selectedWas,
                             std::string now, std::uint32_t selectedNow)
    : restore(std::move(restoreText)), before(std::move(was)), after(std::move(now)), selectedBefore(selectedWas),
      selectedAfter(selectedNow)
{
    setText(name);
}

void StructureEdit::undo()
{
    restore(before, selectedBefore);
    done = false;
}

void StructureEdit::redo()
{
    if (done)
        return;
    restore(after, selectedAfter);
    done = true;
}

} // namespace zrv::core
