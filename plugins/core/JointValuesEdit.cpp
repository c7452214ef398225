#include "JointValuesEdit.h"

#include <common/ZrvAssert.h>

#include <utility>

namespace zrv::core {

JointValuesEdit::JointValuesEdit(const QString& text, Apply apply, std::vector<std::uint32_t> joints,
                                 std::vector<double> before, std::vector<double> after, QString mergeKey)
    : QUndoCommand(text)
    , apply(std::move(apply))
    , joints(std::move(joints))
    , before(std::move(before))
    , after(std::move(after))
    , key(std::move(mergeKey))
{
    ZRV_ASSERT(this->joints.size() == this->before.size() && this->joints.size() == this->after.size(),
               "one value before and after per joint", "plugins/core/JointValuesEdit");
}

bool JointValuesEdit::mergeWith(const QUndoCommand* other)
{
    const auto* next = dynamic_cast<const JointValuesEdit*>(other);
    if (!next || next->key != key || next->joints != joints)
        return false;
    after = next->after;
    setText(next->text());
    return true;
}

void JointValuesEdit::undo()
{
    apply(joints, before);
}

void JointValuesEdit::redo()
{
    if (done) {
        done = false;
        return;
    }
    apply(joints, after);
}

} // namespace zrv::core
