// The session's part in moving objects by the 3D view's handle: a pose
// written as an edit of the object's pose field, so that undo, the field
// list, the view and the checks follow it as they follow typing.

#include "StationSession.h"

namespace zrv::core {

QString StationSession::writePose(std::uint32_t objectId, const QString& field, const QString& text,
                                  const QString& mergeKey)
{
    if (!objects)
        return tr("No station is open");
    if (selectedId() != objectId && selectById(objectId) < 0)
        return tr("No object has id %1").arg(objectId);
    const int poseRow = fieldModel.rowOf(field);
    if (poseRow < 0)
        return tr("object %1 shows no %2 field").arg(objectId).arg(field);
    editMergeKey = mergeKey;
    setField(poseRow, text);
    editMergeKey.clear();
    if (feedback.level == QStringLiteral("error"))
        return feedback.text;
    // The quaternion rounded to what the type keeps is no news to someone
    // who dragged a handle.
    if (feedback.level == QStringLiteral("warning")) {
        setFeedback({});
        if (const FieldListModel::Field* pose = fieldModel.field(poseRow))
            setStatus(tr("%1 set to \"%2\"").arg(field, FieldListModel::ShownText(*pose)));
    }
    return {};
}

} // namespace zrv::core
