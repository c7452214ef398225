#pragma once

// The keys of the editor's commands beyond what the platform's standard
// sequences give. Under X11 the platform knows only Ctrl+Shift+Z for Redo,
// yet people coming from other desktops press Ctrl+Y; it is added where the
// platform lacks it (and only there, so that no key is bound twice, which
// would leave it doing nothing). QML reaches it as `commandKeys`.

#include <QtCore/QObject>
#include <QtCore/QStringList>
#include <QtGui/QKeySequence>

namespace zrv::core {

class CommandKeys : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QStringList extraRedo READ extraRedo CONSTANT)

public:
    using QObject::QObject;

    // The Redo keys the platform's standard sequence lacks, as portable text.
    QStringList extraRedo() const;
    // Whether the key (Qt::Key) with the modifiers (Qt::KeyboardModifiers)
    // is one of those.
    Q_INVOKABLE bool isExtraRedo(int key, int modifiers) const;
};

} // namespace zrv::core
