// The automation actions of what the 3D view shows: showing and hiding by
// kind or object as the Show menu does, and the label by the pointer when
// the mouse rests over the view.

#include "ScriptRunner.h"

#include "CellScene.h"
#include "ElementSearch.h"
#include "StationSession.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QJsonValue>
#include <QtGui/QMouseEvent>
#include <QtQml/QJSValue>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

#include <cmath>
#include <memory>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

const QString kView = QStringLiteral("cellView");

QString Hidden(const SceneVisibility& visibility)
{
    QStringList objects;
    for (const QVariant& id : visibility.hiddenObjects())
        objects.append(id.toString());
    return QStringLiteral("hidden kinds [%1], objects [%2]")
        .arg(visibility.hiddenKinds().join(QStringLiteral(", ")), objects.join(QStringLiteral(", ")));
}

} // namespace

bool ScriptRunner::IsShowAction(const QString& action)
{
    return action == QLatin1String("show") || action == QLatin1String("hover");
}

QString ScriptRunner::showTitle(const QString& action, const QJsonObject& step)
{
    QString title = action;
    for (const char* key : {"kind", "objectId", "visible", "all", "x", "y"})
        if (step.contains(QLatin1String(key)))
            title += QStringLiteral(" %1=%2").arg(QLatin1String(key), step.value(QLatin1String(key)).toVariant().toString());
    return title;
}

ScriptRunner::Phase ScriptRunner::showPhase(QJsonObject step)
{
    return [this, step]() -> Outcome {
        auto* scene = session ? qobject_cast<CellScene*>(session->scene()) : nullptr;
        if (!scene || !session->loaded())
            return {Outcome::Retry, QStringLiteral("no station is shown yet")};
        SceneVisibility& visibility = *scene->visibility();
        if (step.value(QLatin1String("all")).toBool()) {
            visibility.showAll();
            return {Outcome::Pass, Hidden(visibility)};
        }
        if (!step.value(QLatin1String("visible")).isBool())
            return {Outcome::Fail, QStringLiteral("the step needs \"visible\": true or false (or \"all\": true)")};
        const bool visible = step.value(QLatin1String("visible")).toBool();
        if (step.contains(QLatin1String("kind"))) {
            const QString kind = step.value(QLatin1String("kind")).toString();
            if (!visibility.setKindShown(kind, visible))
                return {Outcome::Fail, QStringLiteral("\"kind\" is one of %1, not \"%2\"")
                                           .arg(SceneVisibility::Kinds().join(QStringLiteral(", ")), kind)};
        } else if (step.contains(QLatin1String("objectId"))) {
            const auto id = static_cast<uint>(step.value(QLatin1String("objectId")).toInteger());
            const cell::CellLayout* layout = scene->layout();
            if (!layout || !FindById(layout->root(), id))
                return {Outcome::Fail, QStringLiteral("no object has id %1").arg(id)};
            visibility.setObjectShown(id, visible);
        } else {
            return {Outcome::Fail, QStringLiteral("the step needs \"kind\", \"objectId\" or \"all\"")};
        }
        return {Outcome::Pass, Hidden(visibility)};
    };
}

std::vector<ScriptRunner::Phase> ScriptRunner::hoverPhases(QJsonObject step)
{
    // The mouse moves once; the label comes after the view's pause.
    auto at = std::make_shared<QPointF>();
    Phase move = [this, step, at]() -> Outcome {
        QQuickItem* view = item(kView, {});
        if (!view || !view->isVisible() || !view->property("available").toBool())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        if (step.contains(QLatin1String("objectId"))) {
            const qint64 id = step.value(QLatin1String("objectId")).toInteger();
            QVariant projected;
            QMetaObject::invokeMethod(view, "project", Q_RETURN_ARG(QVariant, projected), Q_ARG(QVariant, id));
            QVariantMap point = projected.canConvert<QJSValue>() ? projected.value<QJSValue>().toVariant().toMap()
                                                                  : projected.toMap();
            if (!point.value(QStringLiteral("visible")).toBool())
                return {Outcome::Retry, QStringLiteral("object %1 is not in sight").arg(id)};
            *at = QPointF(point.value(QStringLiteral("x")).toDouble(), point.value(QStringLiteral("y")).toDouble());
        } else if (step.contains(QLatin1String("x")) && step.contains(QLatin1String("y"))) {
            *at = QPointF(step.value(QLatin1String("x")).toDouble(), step.value(QLatin1String("y")).toDouble());
        } else {
            return {Outcome::Fail, QStringLiteral("the step needs \"x\" and \"y\", or \"objectId\"")};
        }
        if (!QRectF(0, 0, view->width(), view->height()).contains(*at))
            return {Outcome::Fail, QStringLiteral("(%1, %2) lies outside the view").arg(at->x()).arg(at->y())};
        QQuickWindow* shownWindow = view->window();
        const QPointF inWindow = view->mapToScene(*at);
        QMouseEvent moved(QEvent::MouseMove, inWindow, shownWindow->mapToGlobal(inWindow), Qt::NoButton, Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(shownWindow, &moved);
        *at = inWindow;
        return {Outcome::Pass, {}};
    };
    Phase read = [this, step, at]() -> Outcome {
        QQuickItem* view = item(kView, {});
        const QString text = view ? view->property("hoverText").toString() : QString();
        const QString where =
            QStringLiteral("at (%1, %2) in the window").arg(std::lround(at->x())).arg(std::lround(at->y()));
        if (step.contains(QLatin1String("expect"))) {
            const QString expected = step.value(QLatin1String("expect")).toString();
            if (text != expected)
                return {Outcome::Retry, QStringLiteral("%1: the label says \"%2\", not \"%3\"").arg(where, text, expected)};
        } else if (text.isEmpty()) {
            return {Outcome::Retry, QStringLiteral("%1: no label").arg(where)};
        }
        return {Outcome::Pass, QStringLiteral("%1: \"%2\"").arg(where, text)};
    };
    return {move, read};
}

} // namespace zrv::core
