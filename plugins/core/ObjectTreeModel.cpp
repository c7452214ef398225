#include "ObjectTreeModel.h"

#include <common/ZrvAssert.h>

#include <QtCore/QTimer>

#include <algorithm>
#include <limits>

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
    ZRV_ASSERT(!station || station->size() < std::numeric_limits<std::uint32_t>::max(), "too many objects",
               "plugins/core/ObjectTreeModel");
    beginResetModel();
    objects = station;
    searchIndex = std::move(index);
    treeOrder.reset();
    lastNeedle.clear();
    lastMatches.clear();
    expanded.assign(station ? station->size() : 0, false);
    if (station) {
        for (std::size_t root : station->roots())
            expanded[root] = true;
    }
    filterText.clear();
    kept.clear();
    buildRows(rows);
    endResetModel();
    // Once the window has shown the objects, not in the stretch that
    // shows them.
    if (station)
        QTimer::singleShot(0, this, [this] { prepareFind(); });
}

void ObjectTreeModel::prepareFind()
{
    if (!objects || treeOrder)
        return;
    treeOrder = std::make_unique<TreeOrder>(*objects);
    // Fresh memory is slow to touch the first time: the first keystroke
    // of a large station would wait for a search's worth of it.
    const std::size_t count = objects->size();
    for (std::vector<std::uint32_t>* buffer : {&foundScratch, &lastMatches}) {
        buffer->resize(count);
        buffer->clear();
    }
    // A reset swaps the shown rows with the scratch rows: both ready.
    for (int twice = 0; twice < 2; ++twice) {
        rowScratch.resize(count);
        rowScratch.assign(rows.begin(), rows.end());
        rows.swap(rowScratch);
    }
    kept.reserve(count);
}

void ObjectTreeModel::buildRows(std::vector<Row>& out) const
{
    out.clear();
    if (!objects)
        return;
    for (std::size_t root : objects->roots()) {
        out.push_back({static_cast<std::uint32_t>(root), 0});
        appendVisibleChildren(root, 0, out);
    }
}

void ObjectTreeModel::buildFilteredRows(const std::vector<std::uint32_t>& matches, std::vector<Row>& out)
{
    kept.assign(objects->size(), false);
    for (std::size_t match : matches) {
        for (std::size_t at = match; at != StationObjects::NoEntry && !kept[at]; at = objects->entry(at).parent)
            kept[at] = true;
    }
    out.clear();
    for (const TreeOrder::Item& item : treeOrder->items()) {
        if (kept[item.entry])
            out.push_back({item.entry, item.depth});
    }
}

void ObjectTreeModel::setFilter(const QString& text)
{
    const QString wanted = text.trimmed();
    if (wanted == filterText)
        return;
    const bool wasFiltering = !filterText.isEmpty();
    filterText = wanted;
    if (!objects)
        return;
    prepareFind();
    if (wanted.isEmpty()) {
        kept.clear();
        buildRows(rowScratch);
    } else {
        if (!searchIndex || searchIndex->size() != objects->size())
            searchIndex = ObjectSearchIndex::Build(*objects);
        buildFilteredRows(findMatches(wanted), rowScratch);
    }
    showRows(rowScratch, wasFiltering != !wanted.isEmpty());
}

void ObjectTreeModel::showRows(std::vector<Row>& next, bool openChanged)
{
    // Both lists are in tree order: one walk finds the stretches of rows
    // to remove and to insert, each at its row once those before it are
    // done.
    struct Stretch
    {
        int at;
        std::size_t from; // in next, for an insertion
        int count;
        bool insert;
    };
    // Past a few, a view is quicker to build its rows afresh.
    constexpr std::size_t kMostStretches = 8;
    std::vector<Stretch> stretches;
    const auto placeOf = [this](const Row& row) { return treeOrder->placeOf(row.entry); };
    int at = 0;
    bool same = true; // the last rows looked at are in both
    for (std::size_t i = 0, j = 0; stretches.size() <= kMostStretches && (i < rows.size() || j < next.size());) {
        if (i < rows.size() && j < next.size() && rows[i].entry == next[j].entry) {
            ++i, ++j, ++at;
            same = true;
            continue;
        }
        const bool insert = i == rows.size() || (j < next.size() && placeOf(next[j]) < placeOf(rows[i]));
        if (same || stretches.back().insert != insert)
            stretches.push_back({at, j, 0, insert});
        same = false;
        ++stretches.back().count;
        if (insert)
            ++j, ++at;
        else
            ++i;
    }
    if (stretches.size() > kMostStretches) {
        beginResetModel();
        rows.swap(next);
        endResetModel();
        return;
    }
    for (const Stretch& stretch : stretches) {
        const auto first = rows.begin() + stretch.at;
        if (stretch.insert) {
            beginInsertRows({}, stretch.at, stretch.at + stretch.count - 1);
            const auto from = next.begin() + static_cast<std::ptrdiff_t>(stretch.from);
            rows.insert(first, from, from + stretch.count);
            endInsertRows();
        } else {
            beginRemoveRows({}, stretch.at, stretch.at + stretch.count - 1);
            rows.erase(first, first + stretch.count);
            endRemoveRows();
        }
    }
    ZRV_ASSERT(rows.size() == next.size(), "rows lost on the way", "plugins/core/ObjectTreeModel");
    // Rows shown before and after may have opened, closed or lost their
    // children.
    if ((openChanged || !stretches.empty()) && !rows.empty())
        emit dataChanged(index(0), index(static_cast<int>(rows.size()) - 1), {HasChildrenRole, ExpandedRole});
}

const std::vector<std::uint32_t>& ObjectTreeModel::findMatches(const QString& text)
{
    bool isNumber = false;
    const uint id = text.toUInt(&isNumber);
    // Typing on only narrows the last matches, unless an id may match.
    const bool narrowing = !isNumber && !lastNeedle.isEmpty() && text.contains(lastNeedle, Qt::CaseInsensitive);
    searchIndex->find(text, narrowing ? &lastMatches : nullptr, foundScratch);
    if (isNumber) {
        // Every object with the id, also one that has it a second time.
        for (std::size_t i = 0; i < objects->size(); ++i) {
            if (objects->entry(i).object->getId() == id)
                foundScratch.push_back(static_cast<std::uint32_t>(i));
        }
        std::sort(foundScratch.begin(), foundScratch.end());
        foundScratch.erase(std::unique(foundScratch.begin(), foundScratch.end()), foundScratch.end());
    }
    lastNeedle = text;
    lastMatches.swap(foundScratch);
    return lastMatches;
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
    std::vector<Row> stack{{static_cast<std::uint32_t>(entry), depth}};
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
                stack.push_back({static_cast<std::uint32_t>(*child), at.depth + 1});
        }
    }
}

} // namespace zrv::core
