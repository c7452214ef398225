#include "StationSession.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <zrvcommon/AppLogger.h>

#include <fmt/format.h>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>

#include <exception>
#include <filesystem>

namespace zrv::core {

namespace {

std::filesystem::path FsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

} // namespace

StationSession::StationSession(QObject* parent)
    : QObject(parent)
{
    connect(&treeModel, &QAbstractItemModel::rowsInserted, this, [this] {
        row = treeModel.rowOf(selected);
        emit selectionChanged();
    });
    connect(&treeModel, &QAbstractItemModel::rowsRemoved, this, [this] {
        row = treeModel.rowOf(selected);
        emit selectionChanged();
    });
}

StationSession::~StationSession()
{
    // The views must let go of the objects before they are unregistered.
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    cellScene.reset(nullptr, {});
}

void StationSession::open(const QString& file, const QString& saveTo)
{
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    cellScene.reset(nullptr, {});
    objects.reset();
    document.reset();
    selected = StationObjects::NoEntry;
    row = -1;
    path = file;
    readError.clear();
    try {
        document = sdf::SDF::ReadSdfFromFile(FsPath(file));
        objects = std::make_unique<StationObjects>(document->Root());
        treeModel.reset(objects.get());
        cellScene.reset(document->Root(), QFileInfo(file).absolutePath());
        for (const std::string& warning : objects->warnings())
            zrv::AppLogger::inst()->warning(fmt::format("station {}: {}", file.toStdString(), warning));
        setStatus(objectCount() == 1 ? tr("1 object") : tr("%1 objects").arg(objectCount()));
        zrv::AppLogger::inst()->info(
            fmt::format("opened station {} with {} objects", file.toStdString(), objects->size()));
    } catch (const std::exception& e) {
        objects.reset();
        document.reset();
        readError = QString::fromStdString(e.what());
        zrv::AppLogger::inst()->error(fmt::format("reading station {} failed: {}", file.toStdString(), e.what()));
        setStatus(tr("Could not read %1").arg(QDir::toNativeSeparators(file)), readError);
    }
    target = saveTo;
    setModified(false);
    emit savePathChanged();
    emit opened();
    emit selectionChanged();
    if (objects && !objects->roots().empty())
        selectEntry(objects->roots().front());
}

void StationSession::setSavePath(const QString& value)
{
    if (value == target)
        return;
    target = value;
    emit savePathChanged();
}

QString StationSession::selectedTitle() const
{
    if (!objects || selected == StationObjects::NoEntry)
        return {};
    const sdf::SdfObject& object = *objects->entry(selected).object;
    return QStringLiteral("%1 (%2 %3)")
        .arg(QString::fromStdString(object.getDisplayString()),
             QString::fromStdString(StationObjects::KindLabel(object)))
        .arg(object.getId());
}

uint StationSession::selectedId() const
{
    if (!objects || selected == StationObjects::NoEntry)
        return 0;
    return objects->entry(selected).object->getId();
}

void StationSession::select(int treeRow)
{
    const std::size_t entry = treeModel.entryAt(treeRow);
    if (entry != StationObjects::NoEntry)
        selectEntry(entry);
}

void StationSession::toggle(int treeRow)
{
    treeModel.toggle(treeRow);
}

int StationSession::selectByName(const QString& name)
{
    if (!objects)
        return -1;
    const std::size_t entry = objects->findByName(name.toStdString());
    if (entry == StationObjects::NoEntry)
        return -1;
    selectEntry(entry);
    return row;
}

int StationSession::selectById(uint id)
{
    if (!objects)
        return -1;
    const std::size_t entry = objects->find(id);
    if (entry == StationObjects::NoEntry)
        return -1;
    selectEntry(entry);
    return row;
}

void StationSession::selectEntry(std::size_t entry)
{
    selected = entry;
    row = treeModel.reveal(entry);
    fieldModel.show(objects->entry(entry).object->getElement());
    cellScene.setSelectedId(selectedId());
    emit selectionChanged();
}

QString StationSession::setField(int fieldRow, const QString& text)
{
    const FieldListModel::Field* field = fieldModel.field(fieldRow);
    if (!field || !objects || selected == StationObjects::NoEntry)
        return {};
    const QString path = field->path;
    if (!field->editable) {
        setStatus(tr("%1 can not be changed here").arg(path), tr("read-only field"));
        return FieldListModel::Text(*field);
    }
    const std::shared_ptr<sdf::Element> element = field->element;
    sdf::SdfObject& object = *objects->entry(selected).object;
    // Fields directly under the object element that the object model keeps
    // facts of: the name is cached in the object, parent and child ids
    // shape the tree.
    const bool own = !field->attr && element->parent() == object.getElement();
    try {
        if (own && element->label() == "name") {
            object.setName(text.toStdString());
            const QModelIndex changed = fieldModel.index(fieldRow);
            emit fieldModel.dataChanged(changed, changed);
            treeModel.refresh(selected);
        } else {
            fieldModel.write(fieldRow, text);
        }
    } catch (const std::exception& e) {
        setStatus(tr("Could not set %1").arg(path), QString::fromStdString(e.what()));
        return FieldListModel::Text(*field);
    }
    setModified(true);
    // Poses, joint values and attachments move things in the view at once.
    cellScene.refresh();
    const QString stored = FieldListModel::Text(*fieldModel.field(fieldRow));
    if (own && (element->label() == "parent" || element->label() == "child")) {
        // Later, not under the caller: rebuilding resets the field list,
        // whose row may be the very one that called.
        QMetaObject::invokeMethod(this, [this] { rebuildObjects(); }, Qt::QueuedConnection);
    }
    if (stored == text)
        setStatus(tr("%1 set to \"%2\"").arg(path, stored));
    else
        setStatus(tr("%1 stored as \"%2\"").arg(path, stored));
    emit selectionChanged();
    return stored;
}

void StationSession::rebuildObjects()
{
    if (!objects || selected == StationObjects::NoEntry)
        return;
    const std::uint32_t id = objects->entry(selected).object->getId();
    // The old objects leave the registry before the new ones enter it.
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    objects.reset();
    objects = std::make_unique<StationObjects>(document->Root());
    treeModel.reset(objects.get());
    std::size_t entry = objects->find(id);
    if (entry == StationObjects::NoEntry && !objects->roots().empty())
        entry = objects->roots().front();
    if (entry != StationObjects::NoEntry) {
        selectEntry(entry);
    } else {
        selected = StationObjects::NoEntry;
        row = -1;
        cellScene.setSelectedId(0);
    }
}

bool StationSession::save()
{
    if (!document) {
        setStatus(tr("Nothing to save"), tr("no station is open"));
        return false;
    }
    if (target.trimmed().isEmpty()) {
        setStatus(tr("Give a file to save to"), tr("no file name"));
        return false;
    }
    const QString file = target;
    try {
        document->Write(FsPath(file));
    } catch (const std::exception& e) {
        zrv::AppLogger::inst()->error(fmt::format("saving station {} failed: {}", file.toStdString(), e.what()));
        setStatus(tr("Could not save %1").arg(QDir::toNativeSeparators(file)), QString::fromStdString(e.what()));
        return false;
    }
    zrv::AppLogger::inst()->info(fmt::format("saved station {}", file.toStdString()));
    setModified(false);
    setStatus(tr("Saved %1").arg(QDir::toNativeSeparators(file)));
    emit saved(file);
    return true;
}

void StationSession::setStatus(const QString& text, const QString& error)
{
    status = error.isEmpty() ? text : QStringLiteral("%1: %2").arg(text, error);
    failure = error;
    emit statusChanged();
}

void StationSession::setModified(bool value)
{
    if (dirty == value)
        return;
    dirty = value;
    emit modifiedChanged();
}

} // namespace zrv::core
