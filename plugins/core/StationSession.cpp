#include "StationSession.h"

#include "FieldEdit.h"
#include "FieldEntry.h"
#include "PoseText.h"
#include "ReadFailure.h"

#include <sdformat/Element.h>
#include <sdformat/StationCheck.h>
#include <sdformat/SDF.h>
#include <sdformat/StrictValue.h>

#include <zrvcommon/AppLogger.h>

#include <fmt/format.h>

#include <QtCore/QDir>

#include <algorithm>
#include <any>
#include <array>
#include <optional>
#include <set>
#include <atomic>
#include <exception>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace zrv::core {

namespace {

std::filesystem::path FsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

// The station check with the value texts as the file has them (a decimal
// comma, "900mm"), found with their lines; the text is let go at once.
std::vector<sdf::StationCheck::Finding> CheckStation(const sdf::Element& root, const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.bad() && !text.empty())
        return sdf::StationCheck::Check(root, text);
    return sdf::StationCheck::Check(root);
}

} // namespace

StationSession::StationSession(QObject* parent)
    : QObject(parent)
{
    // The selection's row follows the tree's rows at once, but is announced
    // only by followRows(), after the change: a view that hears of it in the
    // middle of an insertion lays out the rows it has not yet moved, and its
    // rows then show other objects than the model's.
    connect(&treeModel, &QAbstractItemModel::rowsInserted, this, [this] { row = treeModel.rowOf(selected); });
    connect(&treeModel, &QAbstractItemModel::rowsRemoved, this, [this] { row = treeModel.rowOf(selected); });
    connect(&treeModel, &QAbstractItemModel::modelReset, this, [this] { row = treeModel.rowOf(selected); });
    fieldModel.setNameOf([this](std::uint32_t id) -> std::optional<QString> {
        const std::size_t entry = objects ? objects->find(id) : StationObjects::NoEntry;
        if (entry == StationObjects::NoEntry)
            return std::nullopt;
        return ObjectTreeModel::DisplayName(*objects->entry(entry).object);
    });
    fieldModel.setDanglingAt([this](const std::string& documentPath) { return problemModel.isDangling(documentPath); });
    robotControl = std::make_unique<RobotControl>(RobotControl::Host{
        [this] { return document ? document->Root() : nullptr; },
        &cellScene,
        &undoStack,
        [this] {
            cellScene.refresh();
            fieldModel.refreshAll();
            emit selectionChanged();
        },
        [this] { followStructure(); }});
    connect(&cellScene, &CellScene::changed, robotControl.get(), &RobotControl::refresh);
    facePick = std::make_unique<FacePick>(FacePick::Host{
        [this] { return document ? document->Root() : nullptr; }, &cellScene, &undoStack, [this] { followStructure(); }});
    // What is under the pointer while picking: a pick of its own, never an
    // edit. The selected operation's edges follow the selection.
    hoverFacePick = std::make_unique<FacePick>(FacePick::Host{
        [this] { return document ? document->Root() : nullptr; }, &cellScene, nullptr, {}});
    operationTravel = std::make_unique<OperationTravel>(OperationTravel::Host{
        [this] { return document ? document->Root() : nullptr; }, &cellScene, &undoStack, facePick.get(),
        [this] { followStructure(); }});
    connect(this, &StationSession::selectionChanged, operationTravel.get(),
            [this] { operationTravel->setOperationId(selectedId()); });
    objectMove = std::make_unique<ObjectMove>(ObjectMove::Host{
        [this] { return document ? document->Root() : nullptr; },
        [this](std::uint32_t id) -> std::shared_ptr<sdf::Element> {
            const std::size_t entry = objects ? objects->find(id) : StationObjects::NoEntry;
            return entry == StationObjects::NoEntry ? nullptr : objects->entry(entry).object->getElement();
        },
        &cellScene,
        [this](std::uint32_t id, const QString& field, const QString& text, const QString& key) {
            return writePose(id, field, text, key);
        }});
    // Geometry the view failed to read and targets out of reach join the
    // problems as soon as they are known.
    connect(&cellScene, &CellScene::problemsChanged, this, [this] {
        problemModel.setFileProblems(cellScene.meshProblems());
        problemModel.setReachProblems(cellScene.reachProblems());
        emit problemsChanged();
    });
    connect(&undoStack, &QUndoStack::cleanChanged, this, [this](bool clean) { setModified(!clean); });
    connect(&undoStack, &QUndoStack::indexChanged, this, &StationSession::undoChanged);
    connect(&undoStack, &QUndoStack::canUndoChanged, this, &StationSession::undoChanged);
    connect(&undoStack, &QUndoStack::canRedoChanged, this, &StationSession::undoChanged);
}

// One reading of a station: cancelled when another takes its place.
struct StationSession::LoadJob
{
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false};
};

// What a reading thread hands over.
struct StationSession::Loaded
{
    QString file;
    QString saveTo;
    std::shared_ptr<sdf::SDF> document;
    std::unique_ptr<StationObjects> objects;
    std::vector<sdf::StationCheck::Finding> problems;
    std::unique_ptr<cell::CellLayout> layout;
    std::unique_ptr<ObjectSearchIndex> index;
    QString error;
};

StationSession::~StationSession()
{
    if (loadJob)
        loadJob->cancelled = true;
    reapLoaders(true);
    // The views must let go of the objects before they are unregistered.
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    cellScene.reset(nullptr);
}

void StationSession::dropLoad()
{
    if (loadJob)
        loadJob->cancelled = true;
    loadJob.reset();
    loadPhase.clear();
    registering = false;
}

void StationSession::open(const QString& file, const QString& saveTo)
{
    dropLoad();
    reapLoaders(false);
    auto job = std::make_shared<LoadJob>();
    loadJob = job;
    loadPhase = tr("Reading %1\u2026").arg(QDir::toNativeSeparators(file));
    emit loadingChanged();
    setStatus(loadPhase);
    std::thread reader([this, job, file, saveTo] {
        auto result = std::make_shared<Loaded>();
        result->file = file;
        result->saveTo = saveTo;
        try {
            // A pipe or a device would keep the reader waiting until someone writes.
            std::error_code statusError;
            const auto status = std::filesystem::status(FsPath(file), statusError);
            if (!statusError && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
                throw std::runtime_error(ReadFailure::Describe(FsPath(file), "not a regular file"));
            try {
                result->document = sdf::SDF::ReadSdfFromFile(FsPath(file));
            } catch (const std::exception& e) {
                throw std::runtime_error(ReadFailure::Describe(FsPath(file), e.what()));
            }
            if (!job->cancelled) {
                QMetaObject::invokeMethod(this, [this, job] { setLoadPhase(job, tr("Building the object tree\u2026")); },
                                          Qt::QueuedConnection);
                result->objects = StationObjects::Prepare(result->document->Root(), &job->cancelled);
                // Find's index here, not in the window's first keystroke.
                if (result->objects)
                    result->index = ObjectSearchIndex::Build(*result->objects);
            }
            if (!job->cancelled) {
                QMetaObject::invokeMethod(this, [this, job] { setLoadPhase(job, tr("Checking the station\u2026")); },
                                          Qt::QueuedConnection);
                result->problems = CheckStation(*result->document->Root(), FsPath(file));
            }
            if (!job->cancelled) {
                QMetaObject::invokeMethod(this, [this, job] { setLoadPhase(job, tr("Laying out the cell\u2026")); },
                                          Qt::QueuedConnection);
                result->layout = CellScene::Lay(result->document->Root(), file);
            }
        } catch (const std::exception& e) {
            result->layout.reset();
            result->document.reset();
            result->objects.reset();
            result->error = QString::fromStdString(e.what());
        }
        // What was read is dropped here when nobody wants it any more.
        if (job->cancelled) {
            result.reset();
        } else {
            QMetaObject::invokeMethod(this, [this, job, result] { finishLoad(job, result); }, Qt::QueuedConnection);
        }
        job->done = true;
    });
    loaders.emplace_back(std::move(reader), job);
}

void StationSession::registerStep(const std::shared_ptr<LoadJob>& job, const std::shared_ptr<Loaded>& result)
{
    if (job != loadJob)
        return;
    // About 5 ms of work a slice on a desktop machine.
    constexpr std::size_t slice = 20000;
    if (!result->objects->registerSome(slice)) {
        setLoadPhase(job, tr("Registering objects: %1 of %2")
                              .arg(result->objects->registeredSoFar())
                              .arg(result->objects->size()));
        QMetaObject::invokeMethod(this, [this, job, result] { registerStep(job, result); }, Qt::QueuedConnection);
        return;
    }
    loadJob.reset();
    loadPhase.clear();
    registering = false;
    const QString file = result->file;
    path = file;
    readError.clear();
    adopt(std::move(result->document), std::move(result->objects), &result->problems, std::move(result->layout),
          std::move(result->index));
    for (const std::string& warning : objects->warnings())
        zrv::AppLogger::inst()->warning(fmt::format("station {}: {}", file.toStdString(), warning));
    zrv::AppLogger::inst()->info(fmt::format("opened station {} with {} objects", file.toStdString(), objects->size()));
    target = result->saveTo;
    emit savePathChanged();
    emit loadingChanged();
    QMetaObject::invokeMethod(this, [this] { reapLoaders(false); }, Qt::QueuedConnection);
}

void StationSession::setLoadPhase(const std::shared_ptr<LoadJob>& job, const QString& text)
{
    if (job != loadJob)
        return;
    loadPhase = text;
    emit loadingChanged();
    setStatus(text);
}

void StationSession::cancelLoading()
{
    if (!loadCancellable())
        return;
    dropLoad();
    emit loadingChanged();
    if (document) {
        setStatus(tr("Opening cancelled; %1 objects").arg(objectCount()));
    } else {
        // The window says why it shows no station.
        readError = tr("Opening was cancelled.");
        emit opened();
        setStatus(tr("Opening cancelled"), tr("no station is open"));
    }
}

void StationSession::reapLoaders(bool wait)
{
    for (auto it = loaders.begin(); it != loaders.end();) {
        if (wait || it->second->done) {
            it->first.join();
            it = loaders.erase(it);
        } else {
            ++it;
        }
    }
}

void StationSession::finishLoad(const std::shared_ptr<LoadJob>& job, const std::shared_ptr<Loaded>& result)
{
    if (job != loadJob)
        return;
    if (result->document) {
        // The station shown gives up its ids to the new one, which enters
        // the registry a slice at a time so that the window keeps painting.
        // Nothing of the old one stays meanwhile: no view of it, no undo.
        release();
        emit selectionChanged();
        emit undoChanged();
        registering = true;
        registerStep(job, result);
        return;
    }
    loadJob.reset();
    loadPhase.clear();
    const QString file = result->file;
    path = file;
    readError = result->error;
    zrv::AppLogger::inst()->error(
        fmt::format("reading station {} failed: {}", file.toStdString(), readError.toStdString()));
    adopt(nullptr);
    setStatus(tr("Could not read %1").arg(QDir::toNativeSeparators(file)), readError);
    target = result->saveTo;
    emit savePathChanged();
    emit loadingChanged();
    QMetaObject::invokeMethod(this, [this] { reapLoaders(false); }, Qt::QueuedConnection);
}

void StationSession::openFile(const QString& file)
{
    open(file, file);
}

void StationSession::newStation()
{
    if (loadJob) {
        dropLoad();
        emit loadingChanged();
    }
    auto created = sdf::SDF::SpawnFromRootTemplate();
    created->Root()->appendObject("station", 1, tr("New station").toStdString());
    path.clear();
    readError.clear();
    adopt(std::move(created));
    target.clear();
    emit savePathChanged();
}

void StationSession::release()
{
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    cellScene.reset(nullptr);
    problemModel.setFileProblems({});
    rewrites.clear();
    // The old objects leave the registry before new ones enter it.
    objects.reset();
    document.reset();
    selected = StationObjects::NoEntry;
    row = -1;
    undoStack.clear();
    undoStack.setClean();
}

void StationSession::adopt(std::shared_ptr<sdf::SDF> station, std::unique_ptr<StationObjects> prepared,
                           const std::vector<sdf::StationCheck::Finding>* checked, std::unique_ptr<cell::CellLayout> layout,
                           std::unique_ptr<ObjectSearchIndex> index)
{
    release();
    document = std::move(station);
    if (document) {
        if (prepared) {
            objects = std::move(prepared);
            objects->registerAll();
        } else {
            objects = std::make_unique<StationObjects>(document->Root());
        }
        treeModel.reset(objects.get(), std::move(index));
        cellScene.reset(layout ? std::move(layout) : CellScene::Lay(document->Root(), path));
        problemModel.setFileProblems(cellScene.layout() ? cellScene.layout()->meshProblems()
                                                        : std::vector<cell::CellLayout::MeshProblem>{});
        setStatus(objectCount() == 1 ? tr("1 object") : tr("%1 objects").arg(objectCount()));
    }
    if (checked) {
        rewrites.reset(document ? document->Root() : nullptr, *checked);
        problemModel.reset(*checked);
        fieldModel.refreshNotes();
        emit problemsChanged();
    } else {
        checkIds();
    }
    setModified(false);
    emit filePathChanged();
    emit opened();
    emit selectionChanged();
    emit undoChanged();
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
    if (object.getDisplayString().empty())
        return ObjectTreeModel::DisplayName(object);
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

void StationSession::clearSelection()
{
    if (selected == StationObjects::NoEntry)
        return;
    if (!feedback.path.isEmpty())
        setFeedback({});
    selected = StationObjects::NoEntry;
    row = -1;
    fieldModel.show(nullptr);
    cellScene.setSelectedId(0);
    emit selectionChanged();
}

void StationSession::toggle(int treeRow)
{
    treeModel.toggle(treeRow);
    followRows();
}

void StationSession::followRows()
{
    row = treeModel.rowOf(selected);
    emit selectionChanged();
}

bool StationSession::treeKey(int key)
{
    const int count = treeModel.rowCount();
    switch (key) {
    case Qt::Key_Up:
        if (count > 0)
            select(row < 0 ? 0 : std::max(row - 1, 0));
        return true;
    case Qt::Key_Down:
        if (count > 0)
            select(row < 0 ? 0 : std::min(row + 1, count - 1));
        return true;
    case Qt::Key_Left:
        if (row < 0)
            return true;
        if (treeModel.hasChildren(row) && treeModel.isExpanded(row) && treeModel.filter().isEmpty()) {
            treeModel.setExpanded(row, false);
            followRows();
        } else if (const std::size_t parent = objects->entry(selected).parent; parent != StationObjects::NoEntry)
            selectEntry(parent);
        return true;
    case Qt::Key_Right:
        if (row < 0)
            return true;
        if (treeModel.hasChildren(row) && !treeModel.isExpanded(row)) {
            treeModel.setExpanded(row, true);
            followRows();
        } else if (treeModel.hasChildren(row))
            select(row + 1);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (row >= 0)
            toggle(row);
        return true;
    default: return false;
    }
}

void StationSession::setFilter(const QString& text)
{
    const QString before = treeModel.filter();
    treeModel.setFilter(text);
    if (treeModel.filter() == before)
        return;
    followRows();
    // The first match is selected unless the selection is still shown.
    if (row < 0 && treeModel.rowCount() > 0 && !treeModel.filter().isEmpty()) {
        for (int at = 0; at < treeModel.rowCount(); ++at) {
            if (treeModel.matchesFilter(at)) {
                select(at);
                break;
            }
        }
    }
    emit filterChanged();
}

QString StationSession::fieldGroup(int fieldRow) const
{
    return fieldModel.data(fieldModel.index(fieldRow), FieldListModel::GroupRole).toString();
}

void StationSession::checkIds()
{
    std::vector<sdf::StationCheck::Finding> found;
    if (document)
        found = sdf::StationCheck::Check(*document->Root());
    // Without the file's text the check cannot see value texts; those read
    // from it and not edited since are still there.
    for (sdf::StationCheck::Finding& finding : rewrites.pending())
        found.push_back(std::move(finding));
    problemModel.reset(std::move(found));
    fieldModel.refreshNotes();
    emit problemsChanged();
}

int StationSession::selectProblem(int problemRow)
{
    const sdf::StationCheck::Finding* problem = problemModel.problem(problemRow);
    if (!problem && objects) {
        // A geometry file's or a target's problem names its object.
        const uint id = problemModel.data(problemModel.index(problemRow), ProblemListModel::ObjectIdRole).toUInt();
        return id != 0 ? selectById(id) : -1;
    }
    if (!problem || problem->paths.empty() || !objects)
        return -1;
    // The element the path names, then up to the nearest object.
    std::string attribute;
    std::shared_ptr<sdf::Element> at = ElementAtDocumentPath(document->Root(), problem->paths.front(), &attribute);
    for (; at; at = at->parent()) {
        const std::size_t entry = objects->findElement(at.get());
        if (entry != StationObjects::NoEntry) {
            if (!treeModel.filter().isEmpty())
                setFilter({});
            selectEntry(entry);
            return row;
        }
    }
    return -1;
}

void StationSession::clearFeedback()
{
    setFeedback({});
}

void StationSession::setFeedback(Feedback value)
{
    feedback = std::move(value);
    emit feedbackChanged();
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
    if (entry != selected && !feedback.path.isEmpty())
        setFeedback({});
    selected = entry;
    row = treeModel.reveal(entry);
    fieldModel.show(objects->entry(entry).object->getElement());
    cellScene.setSelectedId(selectedId());
    emit selectionChanged();
}

StationSession::Own StationSession::ownField(const FieldListModel::Field& field) const
{
    if (field.attr || !objects || selected == StationObjects::NoEntry)
        return Own::None;
    if (field.element->parent() != objects->entry(selected).object->getElement())
        return Own::None;
    if (field.element->label() == "name")
        return Own::Name;
    if (field.element->label() == "parent" || field.element->label() == "child")
        return Own::Shape;
    return Own::None;
}

QString StationSession::setField(int fieldRow, const QString& text)
{
    const FieldListModel::Field* field = fieldModel.field(fieldRow);
    if (!field || !objects || selected == StationObjects::NoEntry)
        return {};
    const QString path = field->path;
    if (!field->editable) {
        setStatus(tr("%1 can not be changed here").arg(path), tr("read-only field"));
        return FieldListModel::ShownText(*field);
    }
    const std::shared_ptr<sdf::Element> element = field->element;
    const std::shared_ptr<sdf::Attr> attr = field->attr;
    sdf::SdfObject& object = *objects->entry(selected).object;
    const Own own = ownField(*field);
    // Names are free text; every other value must be a whole value of its
    // type, and nothing is stored otherwise.
    FieldEntry entry;
    if (own == Own::Name) {
        // Free, but a document must be able to carry it (no NUL, ESC, ...).
        const sdf::StrictValue typed = sdf::StrictValue::Parse("string", text.toStdString());
        entry.accepted = typed.ok();
        entry.storedText = text;
        entry.error = QString::fromStdString(typed.error());
    } else {
        entry = FieldEntry::Check(*field, text, [this](std::uint32_t id) {
            return objects->find(id) != StationObjects::NoEntry;
        });
    }
    if (!entry.accepted) {
        setFeedback({path, entry.error, QStringLiteral("error")});
        setStatus(tr("%1 not changed").arg(path), entry.error);
        return text;
    }
    // A new parent is a structure edit (StationStructure.cpp): the child
    // lists follow, and the pose keeps the object's place, in one undo step.
    if (own == Own::Shape && element->label() == "parent") {
        if (!reparent(object.getId(), entry.storedText.toUInt())) {
            setFeedback({path, failure, QStringLiteral("error")});
            return text;
        }
        setFeedback({});
        emit selectionChanged();
        return entry.storedText;
    }
    // A new parent keeps the object where it is in the cell: its pose is
    // given anew in the new parent's frame, in one undo step with the parent.
    std::optional<QString> carried;
    if (own == Own::Shape && element->label() == "parent" && !keepLocal)
        carried = poseKeepingPlace(object, entry.storedText.toUInt());
    struct Macro
    {
        QUndoStack* stack = nullptr;
        ~Macro()
        {
            if (stack)
                stack->endMacro();
        }
    } macro;
    if (carried) {
        const int poseRow = fieldModel.rowOf(QStringLiteral("pose"));
        undoStack.beginMacro(tr("Set %1 keeping the place").arg(path));
        macro.stack = &undoStack;
        setField(poseRow, *carried);
        if (feedback.level == QStringLiteral("error"))
            return text;
        fieldRow = fieldModel.rowOf(path);
        field = fieldModel.field(fieldRow);
        if (!field)
            return text;
    }
    ValueSnapshot before = ValueSnapshot::Take(element, attr);
    try {
        if (own == Own::Name) {
            object.setName(text.toStdString());
            fieldModel.refreshRow(fieldRow);
        } else {
            fieldModel.write(fieldRow, entry.storedText);
        }
    } catch (const std::exception& e) {
        setFeedback({path, QString::fromStdString(e.what()), QStringLiteral("error")});
        setStatus(tr("Could not set %1").arg(path), QString::fromStdString(e.what()));
        return text;
    }
    ValueSnapshot after = ValueSnapshot::Take(element, attr);
    const std::uint32_t id = object.getId();
    const QString stored = FieldListModel::ShownText(*fieldModel.field(fieldRow));
    if (before.text != after.text) {
        undoStack.push(new FieldEdit([this](std::uint32_t objectId, const QString& fieldPath,
                                            const ValueSnapshot& value) { applyValue(objectId, fieldPath, value); },
                                     id, path, std::move(before), std::move(after), editMergeKey));
    }
    followEdit(own, selected);
    setFeedback({path, entry.warning, entry.warning.isEmpty() ? QString() : QStringLiteral("warning")});
    if (!entry.warning.isEmpty())
        setStatus(QStringLiteral("%1 %2").arg(path, entry.warning));
    else
        setStatus(tr("%1 set to \"%2\"").arg(path, stored));
    emit selectionChanged();
    return stored;
}

std::optional<QString> StationSession::poseKeepingPlace(const sdf::SdfObject& object, std::uint32_t newParent) const
{
    // The kinds whose pose the layout gives in the frame of their `parent`.
    static const std::set<std::string, std::less<>> placedByParent{
        "manipulator", "tool", "device", "part", "assembly", "pointcloud", "smart_component", "wrist"};
    const std::shared_ptr<sdf::Element> element = object.getElement();
    const cell::CellLayout* layout = cellScene.layout();
    if (!layout || !placedByParent.contains(element->label()) || !element->exists("pose"))
        return std::nullopt;
    const cell::RigidTransform* world = layout->worldOf(object.getId());
    if (!world)
        return std::nullopt;
    const cell::RigidTransform* parentWorld = newParent == 0 ? nullptr : layout->worldOf(newParent);
    const cell::RigidTransform local = parentWorld ? parentWorld->inverse() * *world : *world;
    return ExactPoseText(local);
}

void StationSession::setKeepLocalPose(bool value)
{
    if (value == keepLocal)
        return;
    keepLocal = value;
    emit keepLocalPoseChanged();
}

QString StationSession::setPosePart(int fieldRow, int part, const QString& text)
{
    const FieldListModel::Field* field = fieldModel.field(fieldRow);
    const QStringList shown = fieldModel.data(fieldModel.index(fieldRow), FieldListModel::PosePartsRole).toStringList();
    if (!field || part < 0 || part >= shown.size())
        return text;
    if (text.trimmed() == shown[part])
        return shown[part];
    const QString path = field->path;
    const sdf::StrictValue typed = sdf::StrictValue::Parse("double", text.toStdString());
    if (!typed.ok()) {
        const QString error = QString::fromStdString(typed.error());
        setFeedback({path, error, QStringLiteral("error")});
        setStatus(tr("%1 not changed").arg(path), error);
        return text;
    }
    // The stored parts, one of them replaced: the others keep their full
    // precision, and the orientation stays as stored unless an angle was
    // typed.
    const auto pose = field->element->as<zrv::rob::PoseTemplate<double>>();
    const EulerDegrees angles = ToEuler(pose.orient);
    std::array<double, 6> parts{pose.pos.x, pose.pos.y, pose.pos.z, angles.rx, angles.ry, angles.rz};
    parts[static_cast<std::size_t>(part)] = std::any_cast<double>(typed.value());
    zrv::rob::OrientTemplate<double> orient = pose.orient;
    if (part >= 3)
        orient = FromEuler({parts[3], parts[4], parts[5]});
    const QString poseText = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                                 .arg(parts[0], 0, 'g', 17)
                                 .arg(parts[1], 0, 'g', 17)
                                 .arg(parts[2], 0, 'g', 17)
                                 .arg(orient.w, 0, 'g', 17)
                                 .arg(orient.x, 0, 'g', 17)
                                 .arg(orient.y, 0, 'g', 17)
                                 .arg(orient.z, 0, 'g', 17);
    setField(fieldRow, poseText);
    // Rounding the composed quaternion is no news to someone who typed an
    // angle.
    if (feedback.level == QStringLiteral("warning")) {
        setFeedback({});
        setStatus(tr("%1 set to \"%2\"").arg(path, FieldListModel::ShownText(*fieldModel.field(fieldRow))));
    }
    const QStringList now = fieldModel.data(fieldModel.index(fieldRow), FieldListModel::PosePartsRole).toStringList();
    return part < now.size() ? now[part] : text;
}

void StationSession::applyValue(std::uint32_t objectId, const QString& fieldPath, const ValueSnapshot& value)
{
    if (!objects)
        return;
    const std::size_t entry = objects->find(objectId);
    if (entry == StationObjects::NoEntry)
        return;
    if (entry != selected)
        selectEntry(entry);
    const int fieldRow = fieldModel.rowOf(fieldPath);
    const FieldListModel::Field* field = fieldModel.field(fieldRow);
    if (!field)
        return;
    const Own own = ownField(*field);
    if (own == Own::Name)
        objects->entry(entry).object->setName(value.text);
    else
        value.restore(field->element, field->attr);
    fieldModel.refreshRow(fieldRow);
    followEdit(own, entry);
    setStatus(tr("%1 is \"%2\" again").arg(fieldPath, FieldListModel::ShownText(*field)));
    emit selectionChanged();
}

void StationSession::followEdit(Own own, std::size_t entry)
{
    // Poses, joint values and attachments move things in the view at once.
    cellScene.refresh();
    // A joint's type and limits give its value's unit and range.
    fieldModel.refreshAll();
    if (own == Own::Name)
        treeModel.refresh(entry);
    // Any value may mend or make a finding: ids, names that instructions
    // refer to, joint values against limits, quaternions, value texts.
    checkIds();
    if (own == Own::Shape) {
        // Later, not under the caller: rebuilding resets the field list,
        // whose row may be the very one that called.
        QMetaObject::invokeMethod(this, [this] { rebuildObjects(); }, Qt::QueuedConnection);
    }
}

void StationSession::undo()
{
    if (!undoStack.canUndo())
        return;
    try {
        undoStack.undo();
    } catch (const std::exception& e) {
        setStatus(tr("Could not undo"), QString::fromStdString(e.what()));
    }
}

void StationSession::redo()
{
    if (!undoStack.canRedo())
        return;
    try {
        undoStack.redo();
    } catch (const std::exception& e) {
        setStatus(tr("Could not redo"), QString::fromStdString(e.what()));
    }
}

void StationSession::followStructure()
{
    rebuildObjects();
    cellScene.refresh();
    checkIds();
    setModified(!undoStack.isClean());
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
    selectObjectOrFirst(id);
}

void StationSession::selectObjectOrFirst(std::uint32_t id)
{
    std::size_t entry = objects->find(id);
    if (entry == StationObjects::NoEntry && !objects->roots().empty())
        entry = objects->roots().front();
    if (entry != StationObjects::NoEntry) {
        selectEntry(entry);
    } else {
        selected = StationObjects::NoEntry;
        row = -1;
        cellScene.setSelectedId(0);
        emit selectionChanged();
    }
}

QStringList StationSession::textRewrites() const
{
    QStringList lines;
    for (const sdf::StationCheck::Finding& finding : rewrites.pending())
        lines << QStringLiteral("%1:%2: %3: %4")
                     .arg(finding.line)
                     .arg(finding.column)
                     .arg(QString::fromStdString(finding.paths.front()), QString::fromStdString(finding.message));
    return lines;
}

bool StationSession::save(bool rewriteTexts)
{
    if (!document) {
        setStatus(tr("Nothing to save"), tr("no station is open"));
        return false;
    }
    if (target.trimmed().isEmpty()) {
        setStatus(tr("Give a file to save to"), tr("no file name"));
        return false;
    }
    if (const qsizetype count = textRewrites().size(); count > 0 && !rewriteTexts) {
        setStatus(tr("Not saved"), count == 1 ? tr("1 value text would be written as it was read")
                                              : tr("%1 value texts would be written as they were read").arg(count));
        emit rewriteQuestion();
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
    undoStack.setClean();
    setModified(false);
    if (path != file) {
        path = file;
        emit filePathChanged();
    }
    setStatus(tr("Saved %1").arg(QDir::toNativeSeparators(file)));
    emit saved(file);
    return true;
}

bool StationSession::saveAs(const QString& file)
{
    setSavePath(file);
    return save();
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
