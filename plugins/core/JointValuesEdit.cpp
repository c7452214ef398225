#include "JointValuesEdit.h"

#include <common/ZrvAssert.h>

#include <utility>

namespace zrv::core {

JointValuesEdit::JointValuesEdit(const QString& text, Apply apply, std::vector<std::uint32_t> joints,
                                 std::vector<double> before, std::vector<double> after)
    : QUndoCommand(text)
    , apply(std::move(apply))
    , joints(std::move(joints))
    , before(std::move(before))
    , after(std::move(after))
{
    ZRV_ASSERT(this->joints.size() == this->before.size() && this->joints.size() == this->after.size(),
               "one value before and after per joint", "plugins/core/JointValuesEdit");
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
