#include "ObjectTreeModel.h"

#include <algorithm>

namespace zrv::core {

QString ObjectTreeModel::DisplayName(const sdf::SdfObject& object)
{
    const std::string& name = object.getDisplayString();
    if (!name.empty())
        return QString::fromStdString(name);
    return QStringLiteral("(unnamed %1 %2)")
        .arg(QString::fromStdString(StationObjects::KindLabel(object)))
        .arg(object.getId());
}

void ObjectTreeModel::reset(const StationObjects* station, std::unique_ptr<ObjectSearchIndex> index)
{
    beginResetModel();
    objects = station;
    searchIndex = std::move(index);
    lastNeedle.clear();
    lastMatches.clear();
    expanded.assign(station ? station->size() : 0, false);
    if (station) {
        for (std::size_t root : station->roots())
            expanded[root] = true;
    }
    filterText.clear();
    kept.clear();
    buildRows();
    endResetModel();
}

void ObjectTreeModel::buildRows()
{
    rows.clear();
    if (!objects)
        return;
    for (std::size_t root : objects->roots()) {
        if (!shown(root))
            continue;
        rows.push_back({root, 0});
        appendVisibleChildren(root, 0, rows);
    }
}

void ObjectTreeModel::setFilter(const QString& text)
{
    const QString wanted = text.trimmed();
    if (wanted == filterText)
        return;
    beginResetModel();
    filterText = wanted;
    kept.assign(objects && !wanted.isEmpty() ? objects->size() : 0, false);
    if (objects && !wanted.isEmpty()) {
        for (std::size_t i : findMatches(wanted)) {
            for (std::size_t at = i; at != StationObjects::NoEntry && !kept[at]; at = objects->entry(at).parent)
                kept[at] = true;
        }
    }
    buildRows();
    endResetModel();
}

std::vector<std::size_t> ObjectTreeModel::findMatches(const QString& text)
{
    if (!searchIndex || searchIndex->size() != objects->size())
        searchIndex = ObjectSearchIndex::Build(*objects);
    bool isNumber = false;
    const uint id = text.toUInt(&isNumber);
    // Typing on only narrows the last matches, unless an id may match.
    const bool narrowing = !isNumber && !lastNeedle.isEmpty() && text.contains(lastNeedle, Qt::CaseInsensitive);
    std::vector<std::size_t> found = searchIndex->find(text, narrowing ? &lastMatches : nullptr);
    if (isNumber) {
        // Every object with the id, also one that has it a second time.
        for (std::size_t i = 0; i < objects->size(); ++i) {
            if (objects->entry(i).object->getId() == id)
                found.push_back(i);
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
    }
    lastNeedle = text;
    lastMatches = found;
    return found;
}

bool ObjectTreeModel::matches(const sdf::SdfObject& object) const
{
    bool isNumber = false;
    const uint id = filterText.toUInt(&isNumber);
    return (isNumber && object.getId() == id) || DisplayName(object).contains(filterText, Qt::CaseInsensitive) ||
           QString::fromStdString(StationObjects::KindLabel(object)).contains(filterText, Qt::CaseInsensitive);
}

bool ObjectTreeModel::matchesFilter(int row) const
{
    const std::size_t entry = entryAt(row);
    return !filterText.isEmpty() && entry != StationObjects::NoEntry && matches(*objects->entry(entry).object);
}

bool ObjectTreeModel::isExpanded(int row) const
{
    const std::size_t entry = entryAt(row);
    return entry != StationObjects::NoEntry && (!filterText.isEmpty() || expanded[entry]);
}

bool ObjectTreeModel::hasChildren(int row) const
{
    const std::size_t entry = entryAt(row);
    if (entry == StationObjects::NoEntry)
        return false;
    for (std::size_t child : objects->entry(entry).children) {
        if (shown(child))
            return true;
    }
    return false;
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
    case NameRole: return DisplayName(*entry.object);
    case UnnamedRole: return entry.object->getDisplayString().empty();
    case KindRole: return QString::fromStdString(StationObjects::KindLabel(*entry.object));
    case ObjectIdRole: return static_cast<uint>(entry.object->getId());
    case DepthRole: return row.depth;
    case HasChildrenRole: return hasChildren(index.row());
    case ExpandedRole: return isExpanded(index.row());
    default: return {};
    }
}

QHash<int, QByteArray> ObjectTreeModel::roleNames() const
{
    return {
        {NameRole, "name"},       {KindRole, "kind"},           {ObjectIdRole, "objectId"},
        {DepthRole, "depth"},     {HasChildrenRole, "hasChildren"}, {ExpandedRole, "expanded"},
        {UnnamedRole, "unnamed"},
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
    if (!filterText.isEmpty())
        return rowOf(entry);
    // Open every ancestor at once and insert the rows below the topmost
    // one that was closed (it is shown, all above it being open): one
    // insertion however deep the entry lies.
    std::size_t topClosed = StationObjects::NoEntry;
    for (std::size_t at = objects->entry(entry).parent; at != StationObjects::NoEntry; at = objects->entry(at).parent) {
        if (!expanded[at])
            topClosed = at;
    }
    if (topClosed != StationObjects::NoEntry) {
        const int top = rowOf(topClosed);
        for (std::size_t at = objects->entry(entry).parent; at != StationObjects::NoEntry;
             at = objects->entry(at).parent)
            expanded[at] = true;
        expanded[topClosed] = false;
        setExpanded(top, true);
    }
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
    // While filtering every shown row is open.
    if (entry == StationObjects::NoEntry || expanded[entry] == expand || !filterText.isEmpty())
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
    // The name is searched for as it is now.
    searchIndex.reset();
    lastNeedle.clear();
    const int row = rowOf(entry);
    if (row >= 0) {
        const QModelIndex at = index(row);
        emit dataChanged(at, at, {NameRole, Qt::DisplayRole, KindRole});
    }
}

void ObjectTreeModel::appendVisibleChildren(std::size_t entry, int depth, std::vector<Row>& out) const
{
    // Depth first with a stack of its own: a chain of objects may be a
    // million deep.
    std::vector<Row> stack{{entry, depth}};
    while (!stack.empty()) {
        const Row at = stack.back();
        stack.pop_back();
        if (at.entry != entry)
            out.push_back(at);
        if (!expanded[at.entry] && filterText.isEmpty())
            continue;
        const auto& children = objects->entry(at.entry).children;
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            if (shown(*child))
                stack.push_back({*child, at.depth + 1});
        }
    }
}

} // namespace zrv::core
