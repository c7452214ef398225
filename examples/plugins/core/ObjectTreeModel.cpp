#include "ObjectTreeModel.h"

namespace zrv::core {

void ObjectTreeModel::reset(const StationObjects* station)
{
    beginResetModel();
    objects = station;
    rows.clear();
    expanded.assign(station ? station->size() : 0, false);
    if (station) {
        for (std::size_t root : station->roots()) {
            expanded[root] = true;
            rows.push_back({root, 0});
            appendVisibleChildren(root, 0, rows);
        }
    }
    endResetModel();
}

int ObjectTreeModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

QVariant ObjectTreeModel::data(const QModelIndex& index, int role) const
{
    if (!objects || !index.isValid() || index.row() < 0 || index.row() >= static_cast<int>(rows.size()))
        return {};
    const Row& row = rows[static_cast<std::size_t>(index.row())];
    const StationObjects::Entry& entry = objects->entry(row.entry);
    switch (role) {
    case Qt::DisplayRole:
    case NameRole: return QString::fromStdString(entry.object->getDisplayString());
    case KindRole: return QString::fromStdString(StationObjects::KindLabel(*entry.object));
    case ObjectIdRole: return static_cast<uint>(entry.object->getId());
    case DepthRole: return row.depth;
    case HasChildrenRole: return !entry.children.empty();
    case ExpandedRole: return static_cast<bool>(expanded[row.entry]);
    default: return {};
    }
}

QHash<int, QByteArray> ObjectTreeModel::roleNames() const
{
    return {
        {NameRole, "name"},       {KindRole, "kind"},           {ObjectIdRole, "objectId"},
        {DepthRole, "depth"},     {HasChildrenRole, "hasChildren"}, {ExpandedRole, "expanded"},
    };
}

std::size_t ObjectTreeModel::entryAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return StationObjects::NoEntry;
    return rows[static_cast<std::size_t>(row)].entry;
}

int ObjectTreeModel::rowOf(std::size_t entry) const
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].entry == entry)
            return static_cast<int>(i);
    }
    return -1;
}

int ObjectTreeModel::reveal(std::size_t entry)
{
    if (!objects || entry >= objects->size())
        return -1;
    // Expand from the top down, so that each ancestor is visible when its
    // turn comes.
    std::vector<std::size_t> ancestors;
    for (std::size_t at = objects->entry(entry).parent; at != StationObjects::NoEntry; at = objects->entry(at).parent)
        ancestors.push_back(at);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        setExpanded(rowOf(*it), true);
    return rowOf(entry);
}

void ObjectTreeModel::toggle(int row)
{
    const std::size_t entry = entryAt(row);
    if (entry != StationObjects::NoEntry)
        setExpanded(row, !expanded[entry]);
}

void ObjectTreeModel::setExpanded(int row, bool expand)
{
    const std::size_t entry = entryAt(row);
    if (entry == StationObjects::NoEntry || expanded[entry] == expand)
        return;
    const int depth = rows[static_cast<std::size_t>(row)].depth;
    if (expand) {
        expanded[entry] = true;
        std::vector<Row> shown;
        appendVisibleChildren(entry, depth, shown);
        if (!shown.empty()) {
            beginInsertRows({}, row + 1, row + static_cast<int>(shown.size()));
            rows.insert(rows.begin() + row + 1, shown.begin(), shown.end());
            endInsertRows();
        }
    } else {
        auto first = rows.begin() + row + 1;
        auto last = first;
        while (last != rows.end() && last->depth > depth)
            ++last;
        if (first != last) {
            beginRemoveRows({}, row + 1, row + static_cast<int>(last - first));
            rows.erase(first, last);
            endRemoveRows();
        }
        expanded[entry] = false;
    }
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {ExpandedRole});
}

void ObjectTreeModel::refresh(std::size_t entry)
{
    const int row = rowOf(entry);
    if (row >= 0) {
        const QModelIndex at = index(row);
        emit dataChanged(at, at, {NameRole, Qt::DisplayRole, KindRole});
    }
}

void ObjectTreeModel::appendVisibleChildren(std::size_t entry, int depth, std::vector<Row>& out) const
{
    if (!expanded[entry])
        return;
    for (std::size_t child : objects->entry(entry).children) {
        out.push_back({child, depth + 1});
        appendVisibleChildren(child, depth + 1, out);
    }
}

} // namespace zrv::core
