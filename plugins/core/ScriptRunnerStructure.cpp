// The automation actions that change a station's structure: add, delete,
// duplicate, copy, cut, paste, import and reparent, each as the Object menu
// (or the `parent` field) does it. A step waits while a station is being read, so
// that a paste can follow an `open` of another station.

#include "ScriptRunner.h"

#include "StationSession.h"

#include <QtCore/QFileInfo>
#include <QtCore/QJsonValue>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

uint IdIn(const QJsonObject& step, const char* key, uint fallback)
{
    const QJsonValue value = step.value(QLatin1String(key));
    return value.isDouble() ? static_cast<uint>(value.toInteger()) : fallback;
}

} // namespace

bool ScriptRunner::IsStructureAction(const QString& action)
{
    static const QStringList actions{QStringLiteral("add"),  QStringLiteral("delete"), QStringLiteral("duplicate"),
                                     QStringLiteral("copy"), QStringLiteral("cut"),    QStringLiteral("paste"),
                                     QStringLiteral("reparent"), QStringLiteral("import")};
    return actions.contains(action);
}

ScriptRunner::Phase ScriptRunner::structurePhase(QString action, QJsonObject step)
{
    return [this, action, step]() -> Outcome {
        if (!session)
            return {Outcome::Fail, QStringLiteral("the station is gone")};
        if (session->loading() || !session->loaded())
            return {Outcome::Retry, QStringLiteral("no station is shown yet")};
        const uint id = IdIn(step, "objectId", session->selectedId());
        const QString references = step.value(QLatin1String("references")).toString(QStringLiteral("clear"));
        if (references != QLatin1String("clear") && references != QLatin1String("keep"))
            return {Outcome::Fail, QStringLiteral("\"references\" is \"clear\" or \"keep\", not \"%1\"").arg(references)};
        const bool clear = references == QLatin1String("clear");
        bool done = false;
        if (action == QLatin1String("add")) {
            if (!step.contains(QLatin1String("kind")))
                return {Outcome::Fail, QStringLiteral("the step needs \"kind\"")};
            done = session->addObject(step.value(QLatin1String("kind")).toString(), IdIn(step, "parentId", IdIn(step, "parent", 0))) != 0;
        } else if (action == QLatin1String("delete")) {
            done = session->deleteObject(id, clear);
        } else if (action == QLatin1String("duplicate")) {
            done = session->duplicateObject(id) != 0;
        } else if (action == QLatin1String("copy")) {
            done = session->copyObject(id);
        } else if (action == QLatin1String("cut")) {
            done = session->cutObject(id, clear);
        } else if (action == QLatin1String("paste")) {
            done = session->paste(IdIn(step, "parentId", 0)) != 0;
        } else if (action == QLatin1String("import")) {
            if (!step.contains(QLatin1String("path")))
                return {Outcome::Fail, QStringLiteral("the step needs \"path\"")};
            const QString file = QFileInfo(step.value(QLatin1String("path")).toString()).absoluteFilePath();
            done = session->importGeometry(file, IdIn(step, "parentId", 0)) != 0;
        } else if (action == QLatin1String("reparent")) {
            if (!step.contains(QLatin1String("parentId")))
                return {Outcome::Fail, QStringLiteral("the step needs \"parentId\"")};
            done = session->reparent(id, IdIn(step, "parentId", 0));
        }
        if (!done)
            return {Outcome::Fail, session->statusText()};
        return {Outcome::Pass, QStringLiteral("%1; selected %2").arg(session->statusText()).arg(session->selectedId())};
    };
}

} // namespace zrv::core
