// The structure edits of StationSession: adding, deleting, copying, pasting
// and reparenting objects. Each is one undo step that keeps the station's
// text before and after, and rebuilds the objects, the tree, the view and
// the problems from the changed document.

#include "StationSession.h"
#include "StructureEdit.h"

#include <sdformat/Element.h>
#include <sdformat/ObjectAdd.h>
#include <sdformat/ObjectCopy.h>
#include <sdformat/ObjectParent.h>
#include <sdformat/ObjectRemoval.h>
#include <sdformat/SDF.h>

#include <cell/GeometryFormat.h>

#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace zrv::core {

namespace {

std::shared_ptr<sdf::Element> ElementOf(const StationObjects* objects, std::uint32_t id)
{
    const std::size_t entry = objects && id != 0 ? objects->find(id) : StationObjects::NoEntry;
    return entry == StationObjects::NoEntry ? nullptr : objects->entry(entry).object->getElement();
}

// "a part", "an operation".
QString WithArticle(const std::string& kind)
{
    const bool vowel = !kind.empty() && std::string_view("aeiou").find(kind.front()) != std::string_view::npos;
    return QString::fromStdString((vowel ? "an " : "a ") + kind);
}

} // namespace

QStringList StationSession::addableKinds() const
{
    QStringList kinds;
    if (const auto element = ElementOf(objects.get(), selectedId()))
        for (const std::string& kind : sdf::ObjectAdd::Kinds(*element))
            kinds << QString::fromStdString(kind);
    return kinds;
}

uint StationSession::restructure(const QString& name, const std::function<uint()>& change)
{
    report.clear();
    if (!document) {
        setStatus(tr("%1 not done").arg(name), tr("no station is open"));
        return 0;
    }
    const std::uint32_t selectedBefore = selectedId();
    std::string before = document->Root()->toXMLString("");
    uint selectAfter = 0;
    try {
        selectAfter = change();
    } catch (const std::exception& e) {
        // Whatever the change got done is taken back.
        const QString error = QString::fromStdString(e.what());
        showText(before, selectedBefore);
        setStatus(tr("%1 not done").arg(name), error);
        return 0;
    }
    if (selectAfter == 0)
        return 0;
    std::string after = document->Root()->toXMLString("");
    relayObjects(selectAfter);
    undoStack.push(new StructureEdit(
        name, [this](const std::string& text, std::uint32_t id) { showText(text, id); }, std::move(before),
        selectedBefore, std::move(after), selectAfter));
    return selectAfter;
}

void StationSession::showText(const std::string& text, std::uint32_t selectId)
{
    // The views let go of the objects before the document they view goes.
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    objects.reset();
    document = sdf::SDF::ReadSdfFromString(text);
    relayObjects(selectId);
    setStatus(objectCount() == 1 ? tr("1 object") : tr("%1 objects").arg(objectCount()));
}

void StationSession::relayObjects(std::uint32_t selectId)
{
    fieldModel.show(nullptr);
    treeModel.reset(nullptr);
    objects.reset();
    objects = std::make_unique<StationObjects>(document->Root());
    treeModel.reset(objects.get());
    cellScene.reset(CellScene::Lay(document->Root(), path), true);
    problemModel.setFileProblems(cellScene.layout() ? cellScene.layout()->meshProblems()
                                                    : std::vector<cell::CellLayout::MeshProblem>{});
    checkIds();
    selectObjectOrFirst(selectId);
}

uint StationSession::addObject(const QString& kind, uint parentId)
{
    const uint parent = parentId != 0 ? parentId : selectedId();
    return restructure(tr("Add %1").arg(kind), [&]() -> uint {
        const auto element = ElementOf(objects.get(), parent);
        if (!element)
            throw std::invalid_argument(tr("no object has id %1").arg(parent).toStdString());
        const auto added = sdf::ObjectAdd::Add(*element, kind.toStdString());
        setStatus(tr("Added %1 %2 \"%3\"")
                      .arg(kind)
                      .arg(added->getId())
                      .arg(QString::fromStdString(added->get("name")->getStringFromValue())));
        return added->getId();
    });
}

QStringList StationSession::referencesTo(uint id) const
{
    QStringList lines;
    const auto element = ElementOf(objects.get(), id);
    if (!element)
        return lines;
    for (const auto& reference : sdf::ObjectRemoval::References(*element)) {
        const std::size_t entry = objects->find(reference.id);
        lines << tr("%1 names %2 (%3)")
                     .arg(QString::fromStdString(reference.path))
                     .arg(reference.id)
                     .arg(entry == StationObjects::NoEntry ? QString()
                                                           : ObjectTreeModel::DisplayName(*objects->entry(entry).object));
    }
    return lines;
}

bool StationSession::deleteObject(uint id, bool clearReferences)
{
    const std::size_t at = objects ? objects->find(id) : StationObjects::NoEntry;
    const std::uint32_t parentId = at == StationObjects::NoEntry ? 0 : objects->entry(at).parentId;
    return restructure(tr("Delete object %1").arg(id), [&]() -> uint {
        const auto element = ElementOf(objects.get(), id);
        if (!element)
            throw std::invalid_argument(tr("no object has id %1").arg(id).toStdString());
        if (element->label() == "station")
            throw std::invalid_argument(tr("the station itself can not be deleted").toStdString());
        const QString name = ObjectTreeModel::DisplayName(*objects->entry(at).object);
        // The objects go before their elements do.
        fieldModel.show(nullptr);
        const auto references = sdf::ObjectRemoval::Remove(
            element, clearReferences ? sdf::ObjectRemoval::Dangling::Clear : sdf::ObjectRemoval::Dangling::Keep);
        QStringList paths;
        for (const auto& reference : references)
            paths << QString::fromStdString(reference.path);
        if (!references.empty())
            report = (clearReferences ? tr("cleared: %1") : tr("left dangling: %1")).arg(paths.join(QStringLiteral(", ")));
        setStatus(report.isEmpty() ? tr("Deleted %1").arg(name) : tr("Deleted %1; %2").arg(name, report));
        // The parent shows, or the station when it has gone too.
        return parentId != 0 ? parentId : 1u;
    }) != 0;
}

bool StationSession::copyObject(uint id)
{
    const auto element = ElementOf(objects.get(), id);
    if (!element) {
        setStatus(tr("Nothing copied"), tr("no object has id %1").arg(id));
        return false;
    }
    QGuiApplication::clipboard()->setText(QString::fromStdString(sdf::ObjectCopy::Write({element.get()})));
    setStatus(tr("Copied %1").arg(ObjectTreeModel::DisplayName(*objects->entry(objects->find(id)).object)));
    return true;
}

bool StationSession::cutObject(uint id, bool clearReferences)
{
    return copyObject(id) && deleteObject(id, clearReferences);
}

uint StationSession::paste(uint parentId)
{
    return pasteText(QGuiApplication::clipboard()->text().toStdString(), parentId != 0 ? parentId : selectedId());
}

uint StationSession::duplicateObject(uint id)
{
    const auto element = ElementOf(objects.get(), id);
    const std::size_t at = objects ? objects->find(id) : StationObjects::NoEntry;
    if (!element || element->label() == "station") {
        setStatus(tr("Nothing duplicated"), element ? tr("the station itself can not be duplicated")
                                                    : tr("no object has id %1").arg(id));
        return 0;
    }
    // Beside the original: below the object it sits in.
    return pasteText(sdf::ObjectCopy::Write({element.get()}), objects->entry(at).parentId);
}

uint StationSession::pasteText(const std::string& text, uint parentId)
{
    return restructure(tr("Paste"), [&]() -> uint {
        std::shared_ptr<sdf::Element> parent = ElementOf(objects.get(), parentId);
        if (!parent && document)
            parent = document->Root()->get("station");
        // The nearest that can hold the objects: a part pasted with a part
        // selected goes beside it. Paste refuses before it changes anything.
        std::string refusal;
        for (std::shared_ptr<sdf::Element> at = parent; at; at = at->parent()) {
            if (sdf::ObjectAdd::Kinds(*at).empty())
                continue;
            try {
                fieldModel.show(nullptr);
                const sdf::ObjectCopy::Pasted pasted = sdf::ObjectCopy::Paste(text, *at);
                QStringList lost;
                for (const auto& unresolved : pasted.unresolved)
                    lost << tr("%1 named %2").arg(QString::fromStdString(unresolved.path)).arg(unresolved.id);
                if (!lost.isEmpty())
                    report = tr("cleared, no such object here: %1").arg(lost.join(QStringLiteral(", ")));
                const QString done = pasted.objects.size() == 1 ? tr("Pasted 1 object")
                                                                : tr("Pasted %1 objects").arg(pasted.objects.size());
                setStatus(report.isEmpty() ? done : QStringLiteral("%1; %2").arg(done, report));
                return pasted.objects.front()->getId(false);
            } catch (const std::invalid_argument& e) {
                if (refusal.empty())
                    refusal = e.what();
            }
        }
        throw std::invalid_argument(refusal.empty() ? "nothing can hold the objects" : refusal);
    });
}

uint StationSession::importGeometry(const QString& file, uint parentId)
{
    const QFileInfo info(file);
    const uint parent = parentId != 0 ? parentId : selectedId();
    return restructure(tr("Import %1").arg(info.fileName()), [&]() -> uint {
        const auto format = cell::FormatFromName(info.suffix().toStdString());
        if (!format)
            throw std::invalid_argument(
                tr("%1: not a geometry file (step, iges, brep, stl, obj, ply, gltf, glb, 3mf)").arg(file).toStdString());
        if (!info.isFile())
            throw std::invalid_argument(tr("%1: no such file").arg(file).toStdString());
        // Below the selected object when it can hold a part, else the station.
        const auto holdsPart = [](const sdf::Element& element) {
            const std::vector<std::string> kinds = sdf::ObjectAdd::Kinds(element);
            return std::ranges::find(kinds, "part") != kinds.end();
        };
        std::shared_ptr<sdf::Element> at = ElementOf(objects.get(), parent);
        while (at && !holdsPart(*at))
            at = at->parent();
        if (!at)
            at = document->Root()->get("station");
        // Relative to the station's folder when inside it, as stations name
        // their files.
        QString uri = info.absoluteFilePath();
        if (!path.isEmpty()) {
            const QString relative = QFileInfo(path).absoluteDir().relativeFilePath(uri);
            if (!relative.startsWith(QStringLiteral("../")))
                uri = relative;
        }
        const auto part = sdf::ObjectAdd::AddGeometryPart(*at, info.completeBaseName().toStdString(), uri.toStdString(),
                                                          std::string(cell::FormatName(*format)));
        setStatus(tr("Imported %1 as part %2").arg(info.fileName()).arg(part->getId()));
        return part->getId();
    });
}

bool StationSession::reparent(uint id, uint parentId)
{
    return restructure(tr("Set the parent of object %1").arg(id), [&]() -> uint {
        const std::size_t at = objects ? objects->find(id) : StationObjects::NoEntry;
        if (at == StationObjects::NoEntry)
            throw std::invalid_argument(tr("no object has id %1").arg(id).toStdString());
        const sdf::SdfObject& object = *objects->entry(at).object;
        // The pose that keeps the object where it is, found before the
        // parent changes (unless it is to move with its new parent).
        const std::optional<QString> pose = keepLocal ? std::nullopt : poseKeepingPlace(object, parentId);
        const std::shared_ptr<sdf::Element> element = object.getElement();
        fieldModel.show(nullptr);
        sdf::ObjectParent::Set(*element, parentId);
        if (pose)
            element->get("pose")->setValueFromString(pose->toStdString());
        setStatus(tr("Parent of %1 set to %2").arg(ObjectTreeModel::DisplayName(object)).arg(parentId));
        return id;
    }) != 0;
}

QString StationSession::parentRefusal(uint id, uint parentId) const
{
    const auto element = ElementOf(objects.get(), id);
    const auto parent = ElementOf(objects.get(), parentId);
    if (!element || !parent)
        return tr("no object has id %1").arg(element ? parentId : id);
    const auto name = [this](std::uint32_t of) {
        return ObjectTreeModel::DisplayName(*objects->entry(objects->find(of)).object);
    };
    const auto parentOf = [](const sdf::Element& e) { return e.valueOr<unsigned int>("parent", 0u); };
    if (element->label() == "station")
        return tr("%1 is the station, which has no parent").arg(name(id));
    if (parentOf(*element) == parentId)
        return tr("%1 holds %2 already").arg(name(parentId), name(id));
    std::set<std::uint32_t> seen;
    for (std::uint32_t at = parentId; at != 0 && seen.insert(at).second;) {
        if (at == id)
            return tr("%1 is %2 or lies below it").arg(name(parentId), name(id));
        const auto above = ElementOf(objects.get(), at);
        at = above ? parentOf(*above) : 0u;
    }
    // The kinds the layout places in their parent's frame, wherever that
    // parent has a place.
    static const std::set<std::string, std::less<>> placedByParent{
        "manipulator", "tool", "device", "part", "assembly", "pointcloud", "smart_component"};
    const cell::CellLayout* layout = cellScene.layout();
    const bool placed = placedByParent.contains(element->label()) && layout && layout->worldOf(parentId);
    const std::vector<std::string> nested = sdf::ObjectAdd::Kinds(*parent);
    if (!placed && std::ranges::find(nested, element->label()) == nested.end())
        return tr("%1 can not hold %2: %3 holds no %4")
            .arg(name(parentId), name(id), WithArticle(parent->label()), QString::fromStdString(element->label()));
    return {};
}

bool StationSession::dropOnto(uint id, uint parentId)
{
    if (const QString why = parentRefusal(id, parentId); !why.isEmpty()) {
        setStatus(tr("Parent of object %1 not set").arg(id), why);
        return false;
    }
    return reparent(id, parentId);
}

} // namespace zrv::core
