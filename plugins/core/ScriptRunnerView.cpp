// The automation actions of the 3D view: picking at a point of it (or where
// an object appears) as a click of the user would, and fitting the view.

#include "ScriptRunner.h"

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
        QQuickWindow* shownWindow = view->window();
        const QPointF inWindow = view->mapToScene(at);
        const QPointF global = shownWindow->mapToGlobal(inWindow);
        QMouseEvent press(QEvent::MouseButtonPress, inWindow, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(shownWindow, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, inWindow, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(shownWindow, &release);
        const uint selected = session ? session->selectedId() : 0;
        const QString where = QStringLiteral("at (%1, %2) in the window")
                                  .arg(std::lround(inWindow.x()))
                                  .arg(std::lround(inWindow.y()));
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

} // namespace zrv::core
