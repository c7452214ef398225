// The automation actions of the robot: go to a target, a pose, jog a joint
// or the tool centre point, teach a target and generate an operation's
// path, each as the robot panel does it and undone alike.

#include "ScriptRunner.h"

#include "RobotControl.h"
#include "StationSession.h"

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

} // namespace

bool ScriptRunner::IsRobotAction(const QString& action)
{
    static const QStringList actions{QStringLiteral("goToTarget"), QStringLiteral("pose"), QStringLiteral("jog"),
                                     QStringLiteral("teach"), QStringLiteral("generate")};
    return actions.contains(action);
}

QString ScriptRunner::robotTitle(const QString& action, const QJsonObject& step)
{
    const auto number = [&](const char* key) { return step.value(QLatin1String(key)).toVariant().toString(); };
    if (action == QLatin1String("goToTarget"))
        return QStringLiteral("go to target %1").arg(number("objectId"));
    if (action == QLatin1String("pose"))
        return QStringLiteral("pose %1").arg(number("name"));
    if (action == QLatin1String("teach"))
        return QStringLiteral("teach in path %1").arg(number("pathId"));
    if (action == QLatin1String("generate"))
        return QStringLiteral("generate operation %1").arg(number("operationId"));
    if (step.contains(QLatin1String("joint")))
        return QStringLiteral("jog joint %1 to %2").arg(number("joint"), number("value"));
    return QStringLiteral("jog %1 %2 in %3")
        .arg(number("axis"), number("distance"), step.value(QLatin1String("frame")).toString(QStringLiteral("world")));
}

ScriptRunner::Phase ScriptRunner::robotPhase(QString action, QJsonObject step)
{
    const auto missing = [&]() -> QString {
        const auto need = [&](std::initializer_list<const char*> keys) -> QString {
            for (const char* key : keys)
                if (!step.contains(QLatin1String(key)))
                    return QString::fromLatin1(key);
            return {};
        };
        if (action == QLatin1String("goToTarget"))
            return need({"objectId"});
        if (action == QLatin1String("pose"))
            return need({"name"});
        if (action == QLatin1String("teach"))
            return need({"pathId"});
        if (action == QLatin1String("generate"))
            return need({"operationId"});
        return step.contains(QLatin1String("joint")) ? need({"value"}) : need({"axis", "distance"});
    }();
    if (!missing.isEmpty())
        return [missing] { return Outcome{Outcome::Fail, QStringLiteral("the step needs \"%1\"").arg(missing)}; };
    return [this, action, step]() -> Outcome {
        if (!session || !session->loaded() || session->loading())
            return {Outcome::Retry, QStringLiteral("no station is shown yet")};
        RobotControl* robot = session->robotControls();
        const auto id = [&](const char* key) { return static_cast<uint>(step.value(QLatin1String(key)).toInteger()); };
        QString error;
        if (action == QLatin1String("goToTarget")) {
            error = robot->goToTarget(id("objectId"));
        } else if (action == QLatin1String("pose")) {
            error = robot->goToPose(step.value(QLatin1String("name")).toString());
        } else if (action == QLatin1String("teach")) {
            error = robot->teach(id("pathId"));
        } else if (action == QLatin1String("generate")) {
            error = robot->generate(id("operationId"));
        } else if (step.contains(QLatin1String("joint"))) {
            // Joints count from 1, as the controller numbers its axes.
            error = robot->setJoint(step.value(QLatin1String("joint")).toInt() - 1,
                                    step.value(QLatin1String("value")).toDouble());
        } else {
            error = robot->jog(step.value(QLatin1String("axis")).toString(),
                               step.value(QLatin1String("distance")).toDouble(),
                               step.value(QLatin1String("frame")).toString(QStringLiteral("world")));
        }
        if (!error.isEmpty())
            return {Outcome::Fail, error};
        QStringList values;
        for (const QVariant& joint : robot->joints())
            values.append(QString::number(joint.toMap().value(QStringLiteral("value")).toDouble(), 'f', 3));
        return {Outcome::Pass, QStringLiteral("%1; joints %2").arg(robot->lastResult(), values.join(QLatin1Char(' ')))};
    };
}

} // namespace zrv::core
