#pragma once

// A structural edit (new objects, a regenerated path) as the undo stack
// keeps it: the station element as it was before, swapped with the one in
// the document on undo and back on redo. One copy of the station is made
// per edit; the edit itself has been made when the command is pushed.

#include <QtGui/QUndoCommand>

#include <functional>
#include <memory>

namespace sdf {
class Element;
}

namespace zrv::core {

class StationSnapshot : public QUndoCommand
{
public:
    // root: the document's root; before: a copy of its `station` taken
    // before the edit; changed: called after each swap, so that objects,
    // tree and view follow the document.
    StationSnapshot(const QString& text, std::shared_ptr<sdf::Element> root, std::shared_ptr<sdf::Element> before,
                    std::function<void()> changed);

    void undo() override;
    void redo() override;

private:
    void swap();

    std::shared_ptr<sdf::Element> root;
    std::shared_ptr<sdf::Element> other;
    std::function<void()> changed;
    bool done = true;
};

} // namespace zrv::core
