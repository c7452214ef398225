// The automation action `drag`: the 3D view's move handle dragged by the
// mouse as a person drags it (a press on the part, moves, a release), so
// that snapping and the one undo step of a drag apply; the selected object
// or, with the robot panel open, the robot's tool centre point moves.

#include "ScriptRunner.h"

#include "ObjectMove.h"
#include "RobotControl.h"
#include "StationSession.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QMouseEvent>
#include <QtQml/QJSValue>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

#include <algorithm>
#include <cmath>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

const QStringList& Parts()
{
    static const QStringList parts{QStringLiteral("x"),  QStringLiteral("y"),  QStringLiteral("z"),
                                   QStringLiteral("rx"), QStringLiteral("ry"), QStringLiteral("rz")};
    return parts;
}

QVariantMap AsMap(const QVariant& value)
{
    if (value.canConvert<QJSValue>())
        return value.value<QJSValue>().toVariant().toMap();
    return value.toMap();
}

void Send(QQuickItem* view, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QQuickWindow* shown = view->window();
    const QPointF inWindow = view->mapToScene(at);
    QMouseEvent event(type, inWindow, shown->mapToGlobal(inWindow), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(shown, &event);
}

} // namespace

QString ScriptRunner::dragTitle(const QJsonObject& step)
{
    return QStringLiteral("drag %1 handle %2 by %3%4")
        .arg(step.value(QLatin1String("target")).toString(QStringLiteral("object")),
             step.value(QLatin1String("handle")).toString(),
             step.value(QLatin1String("distance")).toVariant().toString(),
             step.contains(QLatin1String("frame"))
                 ? QStringLiteral(" in %1").arg(step.value(QLatin1String("frame")).toString())
                 : QString());
}

ScriptRunner::Phase ScriptRunner::dragPhase(QJsonObject step)
{
    return [this, step]() -> Outcome {
        const QString handle = step.value(QLatin1String("handle")).toString();
        const qsizetype part = Parts().indexOf(handle);
        if (part < 0)
            return {Outcome::Fail, QStringLiteral("\"handle\" is x, y, z, rx, ry or rz, not \"%1\"").arg(handle)};
        if (!step.value(QLatin1String("distance")).isDouble())
            return {Outcome::Fail, QStringLiteral("the step needs \"distance\" (mm or degrees)")};
        const double distance = step.value(QLatin1String("distance")).toDouble();
        const QString target = step.value(QLatin1String("target")).toString(QStringLiteral("object"));
        if (target != QLatin1String("object") && target != QLatin1String("tcp"))
            return {Outcome::Fail, QStringLiteral("\"target\" is \"object\" or \"tcp\", not \"%1\"").arg(target)};
        if (!session || !session->loaded() || session->loading())
            return {Outcome::Retry, QStringLiteral("no station is shown yet")};
        QQuickItem* view = item(QStringLiteral("cellView"), {});
        if (!view || !view->isVisible() || !view->property("available").toBool())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        if (view->property("handleTarget").toString() != target)
            return {Outcome::Retry, target == QLatin1String("tcp")
                                        ? QStringLiteral("the handle is at the tool centre point only while the robot "
                                                         "panel is open (robotPanelToggle) or its robot is selected")
                                        : QStringLiteral("the handle is at the robot's tool centre point (the robot panel "
                                                         "is open or the robot is selected)")};
        if (step.contains(QLatin1String("frame"))) {
            QVariant known;
            QMetaObject::invokeMethod(view, "setHandleFrame", Q_RETURN_ARG(QVariant, known),
                                      Q_ARG(QVariant, step.value(QLatin1String("frame")).toString()));
            if (!known.toBool())
                return {Outcome::Fail, QStringLiteral("the handle has no frame \"%1\"")
                                           .arg(step.value(QLatin1String("frame")).toString())};
        }
        // Turns go round in small steps, as a hand follows the ring.
        const int steps = part < 3 ? 6 : std::max(6, int(std::ceil(std::abs(distance) / 15)));
        QVariant found;
        QMetaObject::invokeMethod(view, "handleDragPath", Q_RETURN_ARG(QVariant, found), Q_ARG(QVariant, int(part)),
                                  Q_ARG(QVariant, distance), Q_ARG(QVariant, steps));
        const QVariantMap path = AsMap(found);
        const QVariantList points = path.value(QStringLiteral("points")).toList();
        if (points.isEmpty())
            return {Outcome::Retry, path.value(QStringLiteral("reason")).toString()};

        RobotControl* robot = session->robotControls();
        ObjectMove* mover = session->objectMover();
        const QString tcpBefore = robot->tcpText();
        const int movesBefore = mover->moveCount();
        const auto pointAt = [&](qsizetype k) {
            const QVariantMap p = AsMap(points[k]);
            return QPointF(p.value(QStringLiteral("x")).toDouble(), p.value(QStringLiteral("y")).toDouble());
        };
        Send(view, QEvent::MouseButtonPress, pointAt(0), Qt::LeftButton, Qt::LeftButton);
        for (qsizetype k = 1; k < points.size(); ++k)
            Send(view, QEvent::MouseMove, pointAt(k), Qt::NoButton, Qt::LeftButton);
        Send(view, QEvent::MouseButtonRelease, pointAt(points.size() - 1), Qt::LeftButton, Qt::NoButton);

        const QPointF from = view->mapToScene(pointAt(0));
        const QPointF to = view->mapToScene(pointAt(points.size() - 1));
        const QString where = QStringLiteral("from (%1, %2) to (%3, %4) in the window")
                                  .arg(std::lround(from.x()))
                                  .arg(std::lround(from.y()))
                                  .arg(std::lround(to.x()))
                                  .arg(std::lround(to.y()));
        if (target == QLatin1String("tcp")) {
            if (robot->tcpText() == tcpBefore)
                return {Outcome::Fail, QStringLiteral("%1: the tool centre point did not move: %2").arg(where, robot->lastResult())};
            return {Outcome::Pass, QStringLiteral("%1: %2; TCP %3").arg(where, robot->lastResult(), robot->tcpText())};
        }
        if (!mover->lastMoved() || mover->moveCount() == movesBefore)
            return {Outcome::Fail, QStringLiteral("%1: nothing moved: %2").arg(where, mover->lastResult())};
        return {Outcome::Pass, QStringLiteral("%1: %2").arg(where, mover->lastResult())};
    };
}

} // namespace zrv::core
