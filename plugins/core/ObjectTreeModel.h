#pragma once

// The station's object tree as a flat list for a ListView: the visible rows
// in tree order, each with its depth for indentation. Expanding a row
// inserts its visible descendants below it, collapsing removes them.

#include "ObjectSearchIndex.h"
#include "StationObjects.h"
#include "TreeOrder.h"

#include <QtCore/QAbstractListModel>
#include <QtCore/QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zrv::core {

class ObjectTreeModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role
    {
        NameRole = Qt::UserRole + 1,
        KindRole,
        ObjectIdRole,
        DepthRole,
        HasChildrenRole,
        ExpandedRole,
        UnnamedRole,
    };

    using QAbstractListModel::QAbstractListModel;

    // Shows the objects (null: nothing) with the roots expanded, and keeps
    // the pointer until the next call; Find searches the index when given
    // (built for these objects).
    void reset(const StationObjects* objects, std::unique_ptr<ObjectSearchIndex> index = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The entry shown in the row, or StationObjects::NoEntry.
    std::size_t entryAt(int row) const;
    // The row showing the entry, or -1 when it is hidden or unknown.
    int rowOf(std::size_t entry) const;
    // Expands the entry's ancestors and returns its row (-1 for NoEntry).
    int reveal(std::size_t entry);
    // Expands or collapses the row; rows without children stay as they are.
    void toggle(int row);
    void setExpanded(int row, bool expanded);
    // The entry's name or kind changed.
    void refresh(std::size_t entry);

    // Shows only the objects whose name or kind contains the text (ignoring
    // case) or whose id it is, with their ancestors, all open; empty text
    // shows the whole tree again as it was opened.
    void setFilter(const QString& text);
    const QString& filter() const { return filterText; }
    // Whether the object in that row is a match of the filter itself, not
    // only an ancestor kept for one.
    bool matchesFilter(int row) const;
    bool isExpanded(int row) const;
    bool hasChildren(int row) const;

    // The name the tree shows: the object's own, or a placeholder with kind
    // and id for an object without one.
    static QString DisplayName(const sdf::SdfObject& object);

private:
    bool matches(const sdf::SdfObject& object) const;
    // Eight bytes: a large station's search shows a few hundred thousand.
    struct Row
    {
        std::uint32_t entry;
        int depth;
    };

    // The visible rows below entry (depth first), were it expanded.
    void appendVisibleChildren(std::size_t entry, int depth, std::vector<Row>& out) const;
    void buildRows(std::vector<Row>& out) const;
    // What every search needs, made once per station: its tree order, and
    // memory for the largest answer.
    void prepareFind();
    // The matches with their ancestors, in tree order; marks them kept.
    void buildFilteredRows(const std::vector<std::uint32_t>& matches, std::vector<Row>& out);
    // Shows the rows: where they differ from the shown ones in a few
    // stretches, by removing and inserting those, so that a view keeps the
    // rows it has; else by a reset.
    // openChanged: whether rows were all open before and are not now, or
    // the other way round.
    void showRows(std::vector<Row>& next, bool openChanged);
    bool shown(std::size_t entry) const { return filterText.isEmpty() || kept[entry]; }

    // The entries whose name or kind contains the text (ignoring case), or
    // whose id it is. Searches the index, only among the last matches when
    // the text contains the last one (as it does while it is typed).
    const std::vector<std::uint32_t>& findMatches(const QString& text);

    QString filterText;
    std::vector<bool> kept; // per entry, while filtering: a match or an ancestor of one
    // Given with the objects, else built at the first search; dropped by a
    // rename.
    std::unique_ptr<ObjectSearchIndex> searchIndex;
    // Made when the window is idle after showing the objects, else at
    // the first search.
    std::unique_ptr<TreeOrder> treeOrder;
    QString lastNeedle;
    std::vector<std::uint32_t> lastMatches;
    // Kept from one keystroke to the next: a large station's search and
    // rows would otherwise take fresh memory on each.
    std::vector<std::uint32_t> foundScratch;
    std::vector<Row> rowScratch;
    const StationObjects* objects = nullptr;
    std::vector<Row> rows;
    std::vector<bool> expanded; // per entry
};

} // namespace zrv::core
