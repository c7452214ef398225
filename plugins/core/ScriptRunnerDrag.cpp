// The script action that drags with the mouse, as a person moves a row of
// the tree onto another: the press and the moves in one phase, the release
// in the next, so that the window sees the drag under way between them.

#include "ScriptRunner.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QPointer>
#include <QtGui/QMouseEvent>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

#include <cmath>
#include <memory>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

QString Named(const QString& id, const QString& name)
{
    return name.isEmpty() ? id : QStringLiteral("%1 \"%2\"").arg(id, name);
}

// Moves between the press and the release: enough for a drag to pass its
// threshold and for what is under the pointer to follow.
constexpr int kDragMoves = 12;

void SendMouse(QQuickWindow* window, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, at, window->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
}

} // namespace

std::vector<ScriptRunner::Phase> ScriptRunner::dragPhases(QString id, QString name, QString toId, QString toName)
{
    // Where the drag is, between the phases.
    struct Drag
    {
        QPointer<QQuickWindow> window;
        QPointF end;
    };
    const auto drag = std::make_shared<Drag>();
    const Phase press = [this, id, name, toId, toName, drag]() -> Outcome {
        QQuickItem* from = item(id, name);
        QQuickItem* onto = item(toId, toName);
        if (!from || !onto)
            return {Outcome::Retry, QStringLiteral("%1 not found").arg(from ? Named(toId, toName) : Named(id, name))};
        QQuickWindow* shownWindow = from->window();
        if (!shownWindow || !from->isVisible() || !onto->isVisible() || onto->window() != shownWindow)
            return {Outcome::Retry, QStringLiteral("not visible")};
        const QPointF start = from->mapToScene(QPointF(from->width() / 2, from->height() / 2));
        const QPointF end = onto->mapToScene(QPointF(onto->width() / 2, onto->height() / 2));
        const QRectF inside(0, 0, shownWindow->width(), shownWindow->height());
        if (!inside.contains(start) || !inside.contains(end))
            return {Outcome::Fail, QStringLiteral("the drag from (%1, %2) to (%3, %4) leaves the window")
                                       .arg(start.x()).arg(start.y()).arg(end.x()).arg(end.y())};
        SendMouse(shownWindow, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        for (int i = 1; i <= kDragMoves; ++i)
            SendMouse(shownWindow, QEvent::MouseMove, start + (end - start) * (double(i) / kDragMoves), Qt::NoButton,
                      Qt::LeftButton);
        drag->window = shownWindow;
        drag->end = end;
        return {Outcome::Pass, QStringLiteral("from (%1, %2)").arg(std::lround(start.x())).arg(std::lround(start.y()))};
    };
    const Phase release = [drag]() -> Outcome {
        if (!drag->window)
            return {Outcome::Fail, QStringLiteral("no drag under way")};
        SendMouse(drag->window, QEvent::MouseButtonRelease, drag->end, Qt::LeftButton, Qt::NoButton);
        return {Outcome::Pass,
                QStringLiteral("released at (%1, %2)").arg(std::lround(drag->end.x())).arg(std::lround(drag->end.y()))};
    };
    return {press, release};
}

} // namespace zrv::core
