#pragma once

// One undo step of a change to a station's structure (objects added,
// deleted, pasted, moved to another parent): the station's text before and
// after, put back whole, so that undoing gives back the very bytes saved
// before.

#include <QtGui/QUndoCommand>

#include <cstdint>
#include <functional>
#include <string>

namespace zrv::core {

class StructureEdit : public QUndoCommand
{
public:
    // Shows the station of that text with that object selected.
    using Restore = std::function<void(const std::string& text, std::uint32_t selectId)>;

    // The change has been made already: the first redo() does nothing.
    StructureEdit(const QString& name, Restore restore, std::string before, std::uint32_t selectedBefore,
                  std::string after, std::uint32_t selectedAfter);

    void undo() override;
    void redo() override;

private:
    Restore restore;
    std::string before;
    std::string after;
    std::uint32_t selectedBefore = 0;
    std::uint32_t selectedAfter = 0;
    bool done = true;
};

} // namespace zrv::core
