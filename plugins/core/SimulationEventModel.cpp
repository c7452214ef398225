#include "SimulationEventModel.h"

#include <common/ZrvAssert.h>

namespace zrv::core {

void SimulationEventModel::show(std::vector<cell::SimulationEvent> list)
{
    beginResetModel();
    events = std::move(list);
    endResetModel();
}

const cell::SimulationEvent& SimulationEventModel::event(int row) const
{
    ZRV_ASSERT(row >= 0 && row < rowCount(), "row within the events", "plugins/core/SimulationEventModel");
    return events[static_cast<std::size_t>(row)];
}

int SimulationEventModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(events.size());
}

QString SimulationEventModel::AmountText(const cell::SimulationEvent& event)
{
    if (event.kind == cell::SimulationEvent::Kind::Collision)
        return QStringLiteral("depth %1 mm").arg(event.distance, 0, 'f', 1);
    if (event.kind == cell::SimulationEvent::Kind::NearMiss)
        return QStringLiteral("distance %1 mm").arg(event.distance, 0, 'f', 1);
    return {};
}

QVariant SimulationEventModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const cell::SimulationEvent& e = events[static_cast<std::size_t>(index.row())];
    switch (role) {
    case KindRole:
        return QString::fromLatin1(cell::SimulationEvent::Name(e.kind));
    case TimeRole:
        return e.time;
    case TimeTextRole:
        return QStringLiteral("%1 s").arg(e.time, 0, 'f', 3);
    case InstructionRole:
        return e.instruction;
    case ObjectsRole:
        return e.objectA == 0 && e.objectB == 0 ? QString() : QStringLiteral("%1 / %2").arg(e.objectA).arg(e.objectB);
    case AmountRole:
        return AmountText(e);
    case MessageRole:
        return QString::fromStdString(e.message);
    case FailsRole:
        return e.fails();
    default:
        return {};
    }
}

QHash<int, QByteArray> SimulationEventModel::roleNames() const
{
    return {{KindRole, "kind"},         {TimeRole, "time"},       {TimeTextRole, "timeText"},
            {InstructionRole, "instruction"}, {ObjectsRole, "objects"}, {AmountRole, "amount"},
            {MessageRole, "message"},   {FailsRole, "fails"}};
}

} // namespace zrv::core
