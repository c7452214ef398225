#pragma once

// Joint values of one robot changed together (go to a target, a pose, a
// jog step), as the undo stack keeps them: the joints by id, their stored
// values before and after. The change has been made when it is pushed.

#include <QtGui/QUndoCommand>

#include <cstdint>
#include <functional>
#include <vector>

namespace zrv::core {

class JointValuesEdit : public QUndoCommand
{
public:
    using Apply = std::function<void(const std::vector<std::uint32_t>& joints, const std::vector<double>& values)>;

    // Edits with the same non-empty mergeKey that follow each other (one
    // joint dragged along its slider) become one undo step.
    JointValuesEdit(const QString& text, Apply apply, std::vector<std::uint32_t> joints, std::vector<double> before,
                    std::vector<double> after, QString mergeKey = {});

    void undo() override;
    void redo() override;
    int id() const override { return key.isEmpty() ? -1 : 0x4a56; }
    bool mergeWith(const QUndoCommand* other) override;

private:
    Apply apply;
    std::vector<std::uint32_t> joints;
    std::vector<double> before;
    std::vector<double> after;
    QString key;
    bool done = true;
};

} // namespace zrv::core
