#include "CommandKeys.h"

namespace zrv::core {

namespace {

const QKeySequence& WantedRedo()
{
    static const QKeySequence wanted(Qt::CTRL | Qt::Key_Y);
    return wanted;
}

} // namespace

QStringList CommandKeys::extraRedo() const
{
    if (QKeySequence::keyBindings(QKeySequence::Redo).contains(WantedRedo()))
        return {};
    return {WantedRedo().toString(QKeySequence::PortableText)};
}

bool CommandKeys::isExtraRedo(int key, int modifiers) const
{
    // A key from the keypad is the same command.
    const auto held = Qt::KeyboardModifiers(modifiers) & ~Qt::KeypadModifier;
    const QKeySequence pressed{QKeyCombination(held, Qt::Key(key))};
    return pressed == WantedRedo() && !extraRedo().isEmpty();
}

} // namespace zrv::core
