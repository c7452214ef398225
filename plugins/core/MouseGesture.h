#pragma once

// The left mouse button as a user works it, sent to the window that shows
// an item: a click at a point of the item, and pressing, moving and
// releasing for a drag. Automation scripts act through these, so that what
// they do goes through the same handlers as a person's hand.

#include <QtCore/QPointF>
#include <QtCore/Qt>

class QQuickItem;

namespace zrv::core {

class MouseGesture
{
public:
    // Presses and releases at a point of the item; returns it in the window.
    static QPointF Click(QQuickItem* item, QPointF at, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A drag in the item's window: the press at from, moves in steps to to
    // (window coordinates), the button still down.
    static void PressAndMove(QQuickItem* item, QPointF from, QPointF to);
    // One more move to the point, the button down, then nothing else.
    static void MoveTo(QQuickItem* item, QPointF to);
    static void Release(QQuickItem* item, QPointF at);
};

} // namespace zrv::core
