// The automation actions of the 3D view: picking at a point of it (or where
// an object appears) as a click of the user would, and fitting the view;
// naming a face and edge of a part (by a Shift+click, or as if clicked) and
// adding the picked edge to an operation, or reversing it in one.

#include "ScriptRunner.h"

#include "FacePick.h"
#include "MouseGesture.h"
#include "OperationTravel.h"
#include "StationSession.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QMouseEvent>
#include <QtQml/QJSValue>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

#include <cmath>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

const QString kView = QStringLiteral("cellView");

QVariantMap AsMap(const QVariant& value)
{
    if (value.canConvert<QJSValue>())
        return value.value<QJSValue>().toVariant().toMap();
    return value.toMap();
}

// Moves the pointer, no button down, to a point of the view; returns the
// point in the window.
QPointF Hover(QQuickItem* view, QPointF at, Qt::KeyboardModifiers modifiers)
{
    QQuickWindow* shownWindow = view->window();
    const QPointF inWindow = view->mapToScene(at);
    QMouseEvent move(QEvent::MouseMove, inWindow, shownWindow->mapToGlobal(inWindow), Qt::NoButton, Qt::NoButton,
                     modifiers);
    QCoreApplication::sendEvent(shownWindow, &move);
    return inWindow;
}

QString WindowPoint(QPointF inWindow)
{
    return QStringLiteral("at (%1, %2) in the window").arg(std::lround(inWindow.x())).arg(std::lround(inWindow.y()));
}

} // namespace

ScriptRunner::Phase ScriptRunner::pickPhase(QJsonObject step)
{
    return [this, step]() -> Outcome {
        QQuickItem* view = item(kView, {});
        if (!view || !view->isVisible())
            return {Outcome::Retry, QStringLiteral("the view %1 is not shown").arg(kView)};
        if (!view->property("available").toBool())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        QPointF at;
        if (step.contains(QLatin1String("objectId"))) {
            const qint64 id = step.value(QLatin1String("objectId")).toInteger();
            QVariant projected;
            QMetaObject::invokeMethod(view, "project", Q_RETURN_ARG(QVariant, projected), Q_ARG(QVariant, id));
            const QVariantMap point = AsMap(projected);
            if (!point.value(QStringLiteral("visible")).toBool())
                return {Outcome::Retry, QStringLiteral("object %1 is not in sight").arg(id)};
            at = QPointF(point.value(QStringLiteral("x")).toDouble(), point.value(QStringLiteral("y")).toDouble());
        } else {
            at = QPointF(step.value(QLatin1String("x")).toDouble(), step.value(QLatin1String("y")).toDouble());
        }
        if (!QRectF(0, 0, view->width(), view->height()).contains(at))
            return {Outcome::Fail, QStringLiteral("(%1, %2) lies outside the view").arg(at.x()).arg(at.y())};
        // "mode": "edge" clicks as the user names a face and its edge.
        const bool edge = step.value(QLatin1String("mode")).toString() == QLatin1String("edge");
        const QPointF inWindow = MouseGesture::Click(view, at, edge ? Qt::ShiftModifier : Qt::NoModifier);
        const QString where = WindowPoint(inWindow);
        if (edge) {
            const FacePick* pick = session ? session->facePicks() : nullptr;
            const QString named = pick && pick->valid() ? pick->text() : QStringLiteral("nothing");
            if (step.contains(QLatin1String("expect")) && named != step.value(QLatin1String("expect")).toString())
                return {Outcome::Retry, QStringLiteral("%1: names %2, not %3")
                                            .arg(where, named, step.value(QLatin1String("expect")).toString())};
            return {Outcome::Pass, QStringLiteral("%1: names %2").arg(where, named)};
        }
        const uint selected = session ? session->selectedId() : 0;
        if (step.contains(QLatin1String("expect"))) {
            const qint64 expected = step.value(QLatin1String("expect")).toInteger();
            if (selected != expected)
                return {Outcome::Retry, QStringLiteral("%1: object %2 is selected, not %3").arg(where).arg(selected).arg(expected)};
        }
        return {Outcome::Pass, QStringLiteral("%1: object %2 is selected").arg(where).arg(selected)};
    };
}

ScriptRunner::Phase ScriptRunner::fitPhase(QString what, int viewPoint)
{
    return [this, what, viewPoint]() -> Outcome {
        QQuickItem* view = item(kView, {});
        if (!view || !view->property("available").toBool())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        QVariant done = true;
        if (viewPoint > 0)
            QMetaObject::invokeMethod(view, "lookFromViewPoint", Q_RETURN_ARG(QVariant, done), Q_ARG(QVariant, viewPoint));
        else if (what == QLatin1String("all"))
            QMetaObject::invokeMethod(view, "fitAll");
        else if (what == QLatin1String("selection"))
            QMetaObject::invokeMethod(view, "fitSelection");
        else
            QMetaObject::invokeMethod(view, "lookFrom", Q_RETURN_ARG(QVariant, done), Q_ARG(QVariant, what));
        if (!done.toBool())
            return {Outcome::Fail, viewPoint > 0 ? QStringLiteral("the station has no view point %1").arg(viewPoint)
                                                 : QStringLiteral("\"what\" is \"all\", \"selection\", \"top\", "
                                                                  "\"front\", \"side\" or \"isometric\", not \"%1\"")
                                                       .arg(what)};
        return {Outcome::Pass, {}};
    };
}

bool ScriptRunner::IsPickAction(const QString& action)
{
    return action == QLatin1String("pickEdge") || action == QLatin1String("addPickedEdge") ||
           action == QLatin1String("reverseEdge");
}

QString ScriptRunner::pickTitle(const QString& action, const QJsonObject& step)
{
    const auto number = [&](const char* key) { return step.value(QLatin1String(key)).toVariant().toString(); };
    if (action == QLatin1String("addPickedEdge"))
        return QStringLiteral("add the picked edge to operation %1").arg(number("operationId"));
    if (action == QLatin1String("reverseEdge"))
        return QStringLiteral("reverse body %1 face %2 edge %3 in operation %4")
            .arg(number("body"), number("face"), number("edge"), number("operationId"));
    return QStringLiteral("%1 body %2 face %3 edge %4")
        .arg(step.value(QLatin1String("hover")).toBool()   ? QStringLiteral("hover over")
             : step.value(QLatin1String("click")).toBool() ? QStringLiteral("click")
                                                           : QStringLiteral("pick"),
             number("body"), number("face"), step.contains(QLatin1String("edge")) ? number("edge") : QStringLiteral("-"));
}

ScriptRunner::Phase ScriptRunner::edgePickPhase(QString action, QJsonObject step)
{
    return [this, action, step]() -> Outcome {
        FacePick* pick = session ? session->facePicks() : nullptr;
        if (!pick)
            return {Outcome::Fail, QStringLiteral("no station")};
        const auto number = [&](const char* key, int fallback) {
            return step.value(QLatin1String(key)).toInt(fallback);
        };
        if (action == QLatin1String("addPickedEdge")) {
            const QString refused = pick->addToOperation(static_cast<uint>(number("operationId", 0)));
            if (step.contains(QLatin1String("refused"))) {
                const QString expected = step.value(QLatin1String("refused")).toString();
                if (refused != expected)
                    return {Outcome::Fail, refused.isEmpty() ? QStringLiteral("added: %1").arg(pick->lastResult())
                                                             : QStringLiteral("refused with %1").arg(refused)};
                return {Outcome::Pass, refused};
            }
            if (!refused.isEmpty())
                return {Outcome::Fail, refused};
            return {Outcome::Pass, pick->lastResult()};
        }
        const uint body = static_cast<uint>(number("body", 0));
        const int face = number("face", 0);
        const int edge = number("edge", -1);
        if (action == QLatin1String("reverseEdge")) {
            OperationTravel* travel = session->travels();
            if (const QString refused = pick->pickEdge(body, face, edge); !refused.isEmpty())
                return {Outcome::Fail, refused};
            const QString refused = travel->reverse(static_cast<uint>(number("operationId", 0)));
            if (step.contains(QLatin1String("refused"))) {
                if (refused != step.value(QLatin1String("refused")).toString())
                    return {Outcome::Fail, refused.isEmpty() ? QStringLiteral("reversed: %1").arg(travel->lastResult())
                                                             : QStringLiteral("refused with %1").arg(refused)};
                return {Outcome::Pass, refused};
            }
            if (!refused.isEmpty())
                return {Outcome::Fail, refused};
            return {Outcome::Pass, travel->lastResult()};
        }
        const bool hover = step.value(QLatin1String("hover")).toBool();
        if (!step.value(QLatin1String("click")).toBool() && !hover) {
            if (const QString refused = pick->pickEdge(body, face, edge); !refused.isEmpty())
                return {Outcome::Fail, refused};
            return {Outcome::Pass, pick->text()};
        }
        // A Shift+click on the face just beside the middle of the edge.
        QQuickItem* view = item(kView, {});
        if (!view || !view->isVisible() || !view->property("available").toBool())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        const auto beside = pick->pointBeside(body, face, edge);
        if (!beside)
            return {Outcome::Retry, QStringLiteral("body %1 has no edge %2 on face %3 drawn").arg(body).arg(edge).arg(face)};
        QVariant projected;
        QMetaObject::invokeMethod(view, "projectPoint", Q_RETURN_ARG(QVariant, projected), Q_ARG(QVariant, QVariant::fromValue(*beside)));
        const QVariantMap point = AsMap(projected);
        if (!point.value(QStringLiteral("visible")).toBool())
            return {Outcome::Retry, QStringLiteral("the edge is not in sight")};
        const QPointF at(point.value(QStringLiteral("x")).toDouble(), point.value(QStringLiteral("y")).toDouble());
        if (hover) {
            // The preview names it once its look-up has run.
            const auto* under = qobject_cast<FacePick*>(session->hoverPick());
            const QString where = WindowPoint(Hover(view, at, Qt::ShiftModifier));
            if (!under || !under->valid() || under->bodyId() != body || under->face() != face || under->edge() != edge)
                return {Outcome::Retry, QStringLiteral("%1: the preview names %2")
                                            .arg(where, under && under->valid() ? under->text() : QStringLiteral("nothing"))};
            return {Outcome::Pass, QStringLiteral("%1: the preview names %2").arg(where, under->text())};
        }
        const QString where = WindowPoint(MouseGesture::Click(view, at, Qt::ShiftModifier));
        if (!pick->valid() || pick->bodyId() != body || pick->face() != face || pick->edge() != edge)
            return {Outcome::Retry, QStringLiteral("%1: names %2").arg(where, pick->valid() ? pick->text() : QStringLiteral("nothing"))};
        return {Outcome::Pass, QStringLiteral("%1: names %2").arg(where, pick->text())};
    };
}

} // namespace zrv::core
