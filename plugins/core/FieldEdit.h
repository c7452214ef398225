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
    FieldEdit(Apply apply, std::uint32_t objectId, QString path, ValueSnapshot before, ValueSnapshot after);

    void undo() override;
    void redo() override;

private:
    Apply apply;
    std::uint32_t objectId;
    QString path;
    ValueSnapshot before;
    ValueSnapshot after;
    bool done = true;
};

} // namespace zrv::core
