// The automation action that drags a tree row by its grip onto another row,
// as a user gives an object a new parent: the press on the grip, the moves
// to the other row, the release once that row shows the drag over it, and
// then the new parent (or the refusal in the status line).

#include "ScriptRunner.h"

#include "ElementSearch.h"
#include "MouseGesture.h"
#include "StationSession.h"

#include <QtQuick/QQuickItem>

#include <memory>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

uint ParentOf(StationSession& session, uint id)
{
    const auto element = FindById(session.stationRoot(), id);
    return element ? element->valueOr<unsigned int>("parent", 0u) : 0u;
}

} // namespace

std::vector<ScriptRunner::Phase> ScriptRunner::dragRowPhases(QJsonObject step)
{
    if (!step.value(QLatin1String("objectId")).isDouble() || !step.value(QLatin1String("onto")).isDouble())
        return {[] { return Outcome{Outcome::Fail, QStringLiteral("the step needs \"objectId\" and \"onto\" (object ids)")}; }};
    const uint id = static_cast<uint>(step.value(QLatin1String("objectId")).toInteger());
    const uint onto = static_cast<uint>(step.value(QLatin1String("onto")).toInteger());
    // Where the drag ends, in the window.
    auto end = std::make_shared<QPointF>();
    // The row of that object, shown inside the tree's viewport.
    const auto row = [this](uint object) -> QQuickItem* {
        const QString name = QStringLiteral("object/%1").arg(object);
        QQuickItem* found = item(QStringLiteral("treeRow"), name);
        QQuickItem* tree = item(QStringLiteral("stationTree"), {});
        if (!found || !tree || found->objectName() != name || !found->isVisible())
            return nullptr;
        const QPointF centre = found->mapToItem(tree, QPointF(found->width() / 2, found->height() / 2));
        return centre.y() >= 0 && centre.y() < tree->height() ? found : nullptr;
    };
    Phase press = [this, row, id, onto, end]() -> Outcome {
        if (!session || session->loading() || !session->loaded())
            return {Outcome::Retry, QStringLiteral("no station is shown yet")};
        QQuickItem* grip = item(QStringLiteral("treeDragGrip"), QStringLiteral("grip/%1").arg(id));
        QQuickItem* target = row(onto);
        if (!row(id) || !grip)
            return {Outcome::Retry, QStringLiteral("the row of object %1 is not shown (select it first)").arg(id)};
        if (!target)
            return {Outcome::Retry, QStringLiteral("the row of object %1 is not shown (select it first)").arg(onto)};
        const QPointF from = grip->mapToScene(QPointF(grip->width() / 2, grip->height() / 2));
        *end = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
        MouseGesture::PressAndMove(grip, from, *end);
        return {Outcome::Pass, {}};
    };
    // The drop goes to the row the drag is over, which it learns once the
    // window has handled the moves.
    Phase release = [this, row, onto, end]() -> Outcome {
        QQuickItem* target = row(onto);
        if (!target)
            return {Outcome::Fail, QStringLiteral("the row of object %1 went away during the drag").arg(onto)};
        if (!target->property("dragOver").toBool()) {
            MouseGesture::MoveTo(target, *end);
            return {Outcome::Retry, QStringLiteral("the row of object %1 does not show the drag over it").arg(onto)};
        }
        MouseGesture::Release(target, *end);
        return {Outcome::Pass, {}};
    };
    Phase verify = [this, id, onto, step]() -> Outcome {
        if (!session)
            return {Outcome::Fail, QStringLiteral("the station is gone")};
        const QString status = session->statusText();
        if (step.contains(QLatin1String("refused"))) {
            const QString expected = step.value(QLatin1String("refused")).toString();
            if (session->lastError() == expected)
                return {Outcome::Pass, status};
            return {Outcome::Retry, QStringLiteral("the status says %1, not the refusal \"%2\"").arg(status, expected)};
        }
        if (!session->lastError().isEmpty())
            return {Outcome::Fail, status};
        if (ParentOf(*session, id) != onto)
            return {Outcome::Retry, QStringLiteral("object %1 has parent %2").arg(id).arg(ParentOf(*session, id))};
        return {Outcome::Pass, status};
    };
    return {press, release, verify};
}

} // namespace zrv::core
