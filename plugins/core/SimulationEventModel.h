#pragma once

// The events of a simulation run as rows for the results panel: what
// happened, when, at which instruction, between which objects, and how deep
// or how near (with its unit).

#include "cell/SimulationEvent.h"

#include <QtCore/QAbstractListModel>

#include <vector>

namespace zrv::core {

class SimulationEventModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        KindRole = Qt::UserRole + 1,
        TimeRole,
        TimeTextRole,
        InstructionRole,
        ObjectsRole,
        AmountRole,
        MessageRole,
        FailsRole,
    };

    using QAbstractListModel::QAbstractListModel;

    void show(std::vector<cell::SimulationEvent> list);
    // row: 0 to rowCount() - 1.
    const cell::SimulationEvent& event(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // "depth 3.2 mm", "distance 12.0 mm", or "" for events without one.
    static QString AmountText(const cell::SimulationEvent& event);

private:
    std::vector<cell::SimulationEvent> events;
};

} // namespace zrv::core
