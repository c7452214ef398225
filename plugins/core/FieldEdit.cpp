#include "FieldEdit.h"

#include <utility>

namespace zrv::core {

FieldEdit::FieldEdit(Apply applyValue, std::uint32_t id, QString fieldPath, ValueSnapshot was, ValueSnapshot now,
                     QString mergeKey)
    : apply(std::move(applyValue)), objectId(id), path(std::move(fieldPath)), before(std::move(was)),
      after(std::move(now)), key(std::move(mergeKey))
{
    setText(QStringLiteral("%1 of object %2").arg(path).arg(objectId));
}

bool FieldEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = dynamic_cast<const FieldEdit*>(other);
    if (!next || next->key != key || next->objectId != objectId || next->path != path)
        return false;
    after = next->after;
    return true;
}

void FieldEdit::undo()
{
    apply(objectId, path, before);
    done = false;
}

void FieldEdit::redo()
{
    if (done)
        return;
    apply(objectId, path, after);
    done = true;
}

} // namespace zrv::core
