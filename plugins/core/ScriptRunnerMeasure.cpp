// The automation action of measuring in the 3D view: it turns "Measure" on
// with a click if it is off, starts a new measurement and clicks the view
// at each point, as a user places them, then checks what the bar says.

#include "ScriptRunner.h"

#include "MeasureTool.h"
#include "MouseGesture.h"

#include <QtCore/QJsonArray>
#include <QtCore/QRegularExpression>
#include <QtGui/QVector3D>
#include <QtQml/QJSValue>
#include <QtQuick/QQuickItem>

#include <cmath>
#include <memory>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

QVariantMap AsMap(const QVariant& value)
{
    if (value.canConvert<QJSValue>())
        return value.value<QJSValue>().toVariant().toMap();
    return value.toMap();
}

QString Millimetres(const QVector3D& p)
{
    return QStringLiteral("(%1, %2, %3) mm")
        .arg(Measurement::Number(p.x()), Measurement::Number(p.y()), Measurement::Number(p.z()));
}

} // namespace

std::vector<ScriptRunner::Phase> ScriptRunner::measurePhases(QJsonObject step)
{
    const QJsonArray points = step.value(QLatin1String("points")).toArray();
    if (points.isEmpty())
        return {[] { return Outcome{Outcome::Fail, QStringLiteral("the step needs \"points\", a list of {x, y}, "
                                                                  "{objectId} or {point: [x, y, z]}")}; }};
    // Where each click went, for the report.
    auto placed = std::make_shared<QStringList>();
    const auto tool = [this]() -> MeasureTool* {
        QQuickItem* view = item(QStringLiteral("cellView"), {});
        return view ? qobject_cast<MeasureTool*>(view->property("measure").value<QObject*>()) : nullptr;
    };
    std::vector<Phase> phases;
    phases.push_back([this, tool, placed]() -> Outcome {
        QQuickItem* button = item(QStringLiteral("measureButton"), {});
        if (!tool() || !button || !button->isVisible())
            return {Outcome::Retry, QStringLiteral("the view draws no 3D here")};
        if (!button->property("checked").toBool())
            MouseGesture::Click(button, {button->width() / 2, button->height() / 2});
        if (!button->property("checked").toBool())
            return {Outcome::Retry, QStringLiteral("measureButton does not stay checked")};
        tool()->clear();
        placed->clear();
        return {Outcome::Pass, {}};
    });
    for (qsizetype k = 0; k < points.size(); ++k) {
        const QJsonObject point = points.at(k).toObject();
        const int expectedCount = static_cast<int>(k % Measurement::MaxPoints) + 1;
        phases.push_back([this, tool, placed, point, k, expectedCount]() -> Outcome {
            QQuickItem* view = item(QStringLiteral("cellView"), {});
            MeasureTool* measure = tool();
            if (!view || !measure)
                return {Outcome::Fail, QStringLiteral("the view is gone")};
            QPointF at(point.value(QLatin1String("x")).toDouble(), point.value(QLatin1String("y")).toDouble());
            // Where an object or a station point appears.
            if (point.contains(QLatin1String("objectId")) || point.contains(QLatin1String("point"))) {
                QVariant projected;
                if (point.contains(QLatin1String("objectId"))) {
                    QMetaObject::invokeMethod(view, "project", Q_RETURN_ARG(QVariant, projected),
                                              Q_ARG(QVariant, point.value(QLatin1String("objectId")).toInteger()));
                } else {
                    const QJsonArray xyz = point.value(QLatin1String("point")).toArray();
                    const QVector3D station(float(xyz.at(0).toDouble()), float(xyz.at(1).toDouble()),
                                            float(xyz.at(2).toDouble()));
                    QMetaObject::invokeMethod(view, "projectPoint", Q_RETURN_ARG(QVariant, projected),
                                              Q_ARG(QVariant, QVariant::fromValue(station)));
                }
                const QVariantMap shown = AsMap(projected);
                if (!shown.value(QStringLiteral("visible")).toBool())
                    return {Outcome::Retry, QStringLiteral("point %1 is not in sight").arg(k + 1)};
                at = QPointF(shown.value(QStringLiteral("x")).toDouble(), shown.value(QStringLiteral("y")).toDouble());
            }
            if (!QRectF(0, 0, view->width(), view->height()).contains(at))
                return {Outcome::Fail, QStringLiteral("(%1, %2) lies outside the view").arg(at.x()).arg(at.y())};
            const QPointF inWindow = MouseGesture::Click(view, at);
            const QString where =
                QStringLiteral("(%1, %2)").arg(std::lround(inWindow.x())).arg(std::lround(inWindow.y()));
            // A click on nothing places nothing: the window may still be
            // laying out what lies there, so it is tried again.
            if (measure->count() != expectedCount)
                return {Outcome::Retry, QStringLiteral("point %1 at %2 in the window: %3").arg(k + 1).arg(where, measure->hint())};
            const QVector3D station = measure->pointList().constLast().value<QVector3D>();
            placed->append(QStringLiteral("%1 on %2").arg(where, Millimetres(station)));
            return {Outcome::Pass, {}};
        });
    }
    phases.push_back([tool, placed, step]() -> Outcome {
        MeasureTool* measure = tool();
        if (!measure)
            return {Outcome::Fail, QStringLiteral("the view is gone")};
        const QString text = measure->text();
        const QString detail = QStringLiteral("clicked in the window at %1: %2").arg(placed->join(QStringLiteral("; ")), text);
        // The clicks are done: what the bar says can not change any more.
        if (step.contains(QLatin1String("expect")) && text != step.value(QLatin1String("expect")).toString())
            return {Outcome::Fail, QStringLiteral("%1, expected \"%2\"").arg(detail, step.value(QLatin1String("expect")).toString())};
        if (step.contains(QLatin1String("matches")) &&
            !QRegularExpression(step.value(QLatin1String("matches")).toString()).match(text).hasMatch())
            return {Outcome::Fail, QStringLiteral("%1, which does not match %2").arg(detail, step.value(QLatin1String("matches")).toString())};
        return {Outcome::Pass, detail};
    });
    return phases;
}

} // namespace zrv::core
