// The script actions of the motion simulation: `simulate` starts a run,
// waits until the run is done and sets the playback time, so that later
// steps check the results panel as it then shows; `state` saves the
// station's state under a name or puts a saved one back.

#include "ScriptRunner.h"
#include "StationSession.h"

#include <QtCore/QJsonValue>

namespace zrv::core {

std::vector<ScriptRunner::Phase> ScriptRunner::simulatePhases(QJsonObject step)
{
    const QString scenario = step.value(QLatin1String("scenario")).toString();
    const QJsonValue to = step.value(QLatin1String("to"));
    if (!to.isUndefined() && !to.isDouble() && to != QJsonValue(QStringLiteral("end")))
        return {[] { return Outcome{Outcome::Fail, QStringLiteral("\"to\" is a number of seconds or \"end\"")}; }};
    // The playback factor, as the panel's speed box sets it.
    const QJsonValue speed = step.value(QLatin1String("speed"));
    if (!speed.isUndefined() && !(speed.isDouble() && speed.toDouble() >= 0.01 && speed.toDouble() <= 100))
        return {[] { return Outcome{Outcome::Fail, QStringLiteral("\"speed\" is a playback factor from 0.01 to 100")}; }};
    const Phase start = [this, scenario]() -> Outcome {
        if (!session)
            return {Outcome::Fail, QStringLiteral("no station session")};
        SimulationPlayer& player = session->simulationPlayer();
        if (player.running())
            return {Outcome::Retry, QStringLiteral("an earlier run is still going")};
        if (!player.run(scenario))
            return {Outcome::Fail, player.errorText()};
        return {Outcome::Pass, {}};
    };
    const Phase finish = [this, to, speed]() -> Outcome {
        if (!session)
            return {Outcome::Fail, QStringLiteral("no station session")};
        SimulationPlayer& player = session->simulationPlayer();
        if (player.running())
            return {Outcome::Retry, QStringLiteral("the run is not done")};
        if (!player.ready() || !player.errorText().isEmpty())
            return {Outcome::Fail, player.errorText()};
        if (speed.isDouble())
            player.setSpeed(speed.toDouble());
        player.setTime(to.isDouble() ? to.toDouble() : player.duration());
        return {Outcome::Pass, QStringLiteral("%1 events, time %2").arg(player.eventCount()).arg(player.timeText())};
    };
    return {start, finish};
}

ScriptRunner::Phase ScriptRunner::statePhase(QJsonObject step)
{
    const bool restoring = step.contains(QLatin1String("restore"));
    if (restoring == step.contains(QLatin1String("save")))
        return [] { return Outcome{Outcome::Fail, QStringLiteral("a state step has \"save\" (a name) or \"restore\" (a name or id)")}; };
    const QJsonValue which = step.value(QLatin1String(restoring ? "restore" : "save"));
    const QString name = which.isDouble() ? QString::number(which.toInteger()) : which.toString();
    return [this, restoring, name]() -> Outcome {
        if (!session)
            return {Outcome::Fail, QStringLiteral("no station session")};
        SimulationPlayer& player = session->simulationPlayer();
        if (player.running())
            return {Outcome::Retry, QStringLiteral("a run is going")};
        const bool done = restoring ? player.restoreSavedState(name) : player.saveState(name) != 0;
        if (!done)
            return {Outcome::Fail, session->lastError()};
        return {Outcome::Pass, session->statusText()};
    };
}

} // namespace zrv::core
