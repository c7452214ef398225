#pragma once

// One change of one field, as the undo stack keeps it: the object by id and
// the field by path (objects are rebuilt when the tree changes shape, so
// pointers would not last), with the exact value before and after.

#include "ValueSnapshot.h"

#include <QtCore/QString>
#include <QtGui/QUndoCommand>

#include <cstdint>
#include <functional>

namespace zrv::core {

class FieldEdit : public QUndoCommand
{
public:
    using Apply = std::function<void(std::uint32_t objectId, const QString& path, const ValueSnapshot& value)>;

    // The change has been made already: the first redo() does nothing.
    // Edits of the same field with the same non-empty mergeKey that follow
    // each other (an object dragged by the view's handle) are one undo step.
    FieldEdit(Apply apply, std::uint32_t objectId, QString path, ValueSnapshot before, ValueSnapshot after,
              QString mergeKey = {});

    void undo() override;
    void redo() override;
    int id() const override { return key.isEmpty() ? -1 : 0x4645; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    Apply apply;
    std::uint32_t objectId;
    QString path;
    ValueSnapshot before;
    ValueSnapshot after;
    QString key;
    bool done = true;
};

} // namespace zrv::core
