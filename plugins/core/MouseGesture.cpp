#include "MouseGesture.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QMouseEvent>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

namespace zrv::core {

namespace {

void Send(QQuickItem* item, QEvent::Type type, QPointF inWindow, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QQuickWindow* shown = item->window();
    if (!shown)
        return;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, inWindow, shown->mapToGlobal(inWindow), button, buttons, modifiers);
    QCoreApplication::sendEvent(shown, &event);
}

} // namespace

QPointF MouseGesture::Click(QQuickItem* item, QPointF at, Qt::KeyboardModifiers modifiers)
{
    const QPointF inWindow = item->mapToScene(at);
    Send(item, QEvent::MouseButtonPress, inWindow, Qt::LeftButton, modifiers);
    Send(item, QEvent::MouseButtonRelease, inWindow, Qt::NoButton, modifiers);
    return inWindow;
}

void MouseGesture::PressAndMove(QQuickItem* item, QPointF from, QPointF to)
{
    Send(item, QEvent::MouseButtonPress, from, Qt::LeftButton);
    // In steps as a hand moves: handlers start a drag once the pointer is
    // past their threshold, and follow it from there.
    constexpr int steps = 12;
    for (int k = 1; k <= steps; ++k)
        Send(item, QEvent::MouseMove, from + (to - from) * (double(k) / steps), Qt::LeftButton);
}

void MouseGesture::MoveTo(QQuickItem* item, QPointF to)
{
    Send(item, QEvent::MouseMove, to, Qt::LeftButton);
}

void MouseGesture::Release(QQuickItem* item, QPointF at)
{
    Send(item, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

} // namespace zrv::core
