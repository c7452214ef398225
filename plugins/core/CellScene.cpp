#include "CellScene.h"

#include "HoverText.h"

#include <QtCore/QFileInfo>
#include <QtCore/QSignalBlocker>
#include <QtCore/QUrl>

#include <sdformat/Element.h>
#include <sdformat/PoseTemplate.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>

namespace zrv::core {

bool CellScene::canRender = false;

namespace {

QVariantMap Sphere(const std::pair<cell::Vec3d, cell::Vec3d>& box, bool valid)
{
    const auto& [lo, hi] = box;
    const cell::Vec3d centre{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
    const double radius = std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                    (hi[2] - lo[2]) * (hi[2] - lo[2])) / 2;
    return {{QStringLiteral("centre"), CellScene::ToVector(centre)},
            {QStringLiteral("radius"), radius},
            {QStringLiteral("valid"), valid}};
}

} // namespace

CellScene::CellScene(QObject* parent)
    : QObject(parent)
{
    connect(&shown, &SceneVisibility::changed, this, [this] {
        if (!cell)
            return;
        applyVisibility();
        ++rev;
        emit changed();
        emit selectionChanged();
    });
}

void CellScene::applyVisibility()
{
    cell->setViewHidden(shown.hiddenIn(*cell));
}

CellScene::~CellScene() = default;

std::unique_ptr<cell::CellLayout> CellScene::Lay(std::shared_ptr<sdf::Element> root, const QString& stationFile)
{
    const QString directory = stationFile.isEmpty() ? QString() : QFileInfo(stationFile).absolutePath();
    return std::make_unique<cell::CellLayout>(std::move(root), std::filesystem::path(directory.toStdU16String()));
}

void CellScene::reset(std::unique_ptr<cell::CellLayout> prepared, bool sameStation)
{
    clock.start();
    meshList.clear();
    loadFailures.clear();
    bodyPart.clear();
    bodyBoxes.clear();
    meshBoxes.clear();
    meshFiles.clear();
    selected = 0;
    cell = std::move(prepared);
    // Another station shows everything; the same one keeps what was hidden.
    if (!sameStation) {
        const QSignalBlocker quiet(&shown);
        shown.showAll();
    }
    if (cell) {
        applyVisibility();
        const auto add = [this](const cell::CellLayout::Item& item, uint body, const std::filesystem::path& file,
                                const std::string& type) {
            meshList.append(QVariantMap{
                {QStringLiteral("object"), item.object},
                {QStringLiteral("body"), body},
                {QStringLiteral("label"), QString::fromStdString(item.label)},
                {QStringLiteral("file"), QString::fromStdU16String(file.u16string())},
                {QStringLiteral("fileType"), QString::fromStdString(type)}});
            ++meshFiles[item.object].first;
            if (body != 0)
                bodyPart[body] = item.object;
        };
        for (const cell::CellLayout::Item& item : cell->items()) {
            if (item.shape != cell::CellLayout::Shape::Mesh)
                continue;
            // A part drawn from its bodies: one mesh each, in the part's frame.
            if (item.bodies.empty())
                add(item, 0, item.mesh, item.meshType);
            for (const cell::CellLayout::Item::BodyFile& body : item.bodies)
                add(item, body.id, body.file, body.type);
        }
    }
    judgeReach();
    ++rev;
    emit meshesChanged();
    emit changed();
    emit selectionChanged();
    if (!sameStation)
        emit stationOpened();
}

void CellScene::refresh()
{
    if (!cell)
        return;
    judgeReach();
    relayout();
}

void CellScene::relayout()
{
    cell->rebuild();
    ++rev;
    emit changed();
    emit selectionChanged();
}

void CellScene::judgeReach()
{
    reachList.clear();
    reachByInstruction.clear();
    kinematicsModel.reset();
    if (cell && cell->root()) {
        try {
            kinematicsModel = std::make_unique<cell::CellKinematics>(cell->root());
            reachList = kinematicsModel->reachAll();
        } catch (const std::exception&) {
            // A station whose robots cannot be modelled shows no reach.
            kinematicsModel.reset();
            reachList.clear();
        }
    }
    for (std::size_t i = 0; i < reachList.size(); ++i)
        reachByInstruction.try_emplace(reachList[i].instruction, i);
    emit problemsChanged();
}

std::optional<cell::ReachStatus> CellScene::reachOf(std::uint32_t instruction) const
{
    const auto it = reachByInstruction.find(instruction);
    if (it == reachByInstruction.end())
        return std::nullopt;
    return reachList[it->second].status;
}

QString CellScene::reachText(uint instruction) const
{
    const auto it = reachByInstruction.find(instruction);
    if (it == reachByInstruction.end())
        return {};
    const cell::CellKinematics::TargetReach& r = reachList[it->second];
    const std::string_view name = cell::ReachStatusName(r.status);
    QString text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    if (!r.reason.empty())
        text += QStringLiteral(": ") + QString::fromStdString(r.reason);
    return text;
}

std::vector<cell::CellLayout::MeshProblem> CellScene::reachProblems() const
{
    std::vector<cell::CellLayout::MeshProblem> out;
    for (const cell::CellKinematics::TargetReach& r : reachList) {
        if (r.status == cell::ReachStatus::Reachable)
            continue;
        std::string message = r.pathName + " / " + r.instructionName + " #" + std::to_string(r.instruction);
        if (!r.argument.empty())
            message += " (" + r.argument + ")";
        message += ": ";
        message += cell::ReachStatusName(r.status);
        if (!r.reason.empty())
            message += " \u2014 " + r.reason;
        out.push_back({r.instruction, std::move(message)});
    }
    return out;
}

std::vector<cell::CellLayout::MeshProblem> CellScene::meshProblems() const
{
    std::vector<cell::CellLayout::MeshProblem> out;
    if (cell)
        out = cell->meshProblems();
    out.insert(out.end(), loadFailures.begin(), loadFailures.end());
    return out;
}

QVariantMap CellScene::pickOther(const QVector3D& origin, const QVector3D& direction) const
{
    double distance = std::numeric_limits<double>::infinity();
    const std::uint32_t hit =
        cell ? cell->pick({origin.x(), origin.y(), origin.z()}, {direction.x(), direction.y(), direction.z()}, false,
                          &distance)
             : 0;
    return {{QStringLiteral("object"), static_cast<uint>(hit)},
            {QStringLiteral("distance"), hit ? distance : -1.0}};
}

void CellScene::showJoints(const std::vector<std::pair<std::uint32_t, std::vector<double>>>& joints)
{
    if (!cell)
        return;
    for (const auto& [mechanism, values] : joints)
        cell->setJointOverride(mechanism, values);
    // Played-back joints move the view only: the targets' reach is the
    // document's, so it is not judged again on every frame.
    relayout();
}

void CellScene::setSelectedId(uint id)
{
    if (id == selected)
        return;
    selected = id;
    emit selectionChanged();
}

const cell::CellLayout::Item* CellScene::selectedItem() const
{
    if (!cell || selected == 0)
        return nullptr;
    // A body is outlined where its part is, by its own box.
    const auto part = bodyPart.find(selected);
    const cell::CellLayout::Item* item = cell->find(part != bodyPart.end() && selectedBody() ? part->second : selected);
    return item && !item->hidden && item->shape != cell::CellLayout::Shape::None ? item : nullptr;
}

bool CellScene::hasSelection() const
{
    return selectedItem() != nullptr;
}

QVector3D CellScene::selectionPosition() const
{
    const cell::CellLayout::Item* item = selectedItem();
    return item ? ToVector(item->world.t) : QVector3D();
}

QQuaternion CellScene::selectionRotation() const
{
    const cell::CellLayout::Item* item = selectedItem();
    return item ? ToQuaternion(item->world) : QQuaternion();
}

QVector3D CellScene::selectionCentre() const
{
    if (const auto body = selectedBody())
        return (body->first + body->second) / 2;
    const cell::CellLayout::Item* item = selectedItem();
    return item ? (ToVector(item->boundsMin) + ToVector(item->boundsMax)) / 2 : QVector3D();
}

QVector3D CellScene::selectionSize() const
{
    if (const auto body = selectedBody())
        return body->second - body->first;
    const cell::CellLayout::Item* item = selectedItem();
    return item ? ToVector(item->boundsMax) - ToVector(item->boundsMin) : QVector3D();
}

QVector3D CellScene::positionOf(uint object) const
{
    const cell::CellLayout::Item* item = cell ? cell->find(object) : nullptr;
    return item ? ToVector(item->world.t) : QVector3D();
}

QQuaternion CellScene::rotationOf(uint object) const
{
    const cell::CellLayout::Item* item = cell ? cell->find(object) : nullptr;
    return item ? ToQuaternion(item->world) : QQuaternion();
}

uint CellScene::pick(const QVector3D& origin, const QVector3D& direction) const
{
    if (!cell)
        return 0;
    return cell->pick({origin.x(), origin.y(), origin.z()}, {direction.x(), direction.y(), direction.z()});
}

void CellScene::setMeshBounds(uint object, const QVector3D& min, const QVector3D& max, uint body)
{
    if (!cell)
        return;
    if (body != 0)
        bodyBoxes[body] = {min, max};
    auto [box, fresh] = meshBoxes.try_emplace(object, min, max);
    if (!fresh) {
        box->second.first = QVector3D(std::min(box->second.first.x(), min.x()), std::min(box->second.first.y(), min.y()),
                                      std::min(box->second.first.z(), min.z()));
        box->second.second = QVector3D(std::max(box->second.second.x(), max.x()),
                                       std::max(box->second.second.y(), max.y()),
                                       std::max(box->second.second.z(), max.z()));
    }
    const auto& [lo, hi] = box->second;
    cell->setMeshBounds(object, {lo.x(), lo.y(), lo.z()}, {hi.x(), hi.y(), hi.z()});
    if (object == selected || body == selected)
        emit selectionChanged();
}

void CellScene::setMeshFailed(uint object, const QString& reason, uint body)
{
    if (!cell)
        return;
    loadFailures.push_back({body != 0 ? body : object,
                            "geometry not loaded: " +
                                (reason.isEmpty() ? std::string("unreadable file") : reason.toStdString())});
    emit problemsChanged();
    // A block stands in only when none of the object's files could be read.
    auto& [files, failed] = meshFiles[object];
    if (++failed < files)
        return;
    cell->setMeshFailed(object);
    ++rev;
    emit changed();
    emit selectionChanged();
}

uint CellScene::clickTarget(uint object, uint body) const
{
    if (body == 0)
        return object;
    const auto part = bodyPart.find(selected);
    return selected == object || (part != bodyPart.end() && part->second == object) ? body : object;
}

QString CellScene::describe(uint object, uint body) const
{
    return HoverText::Describe(*this, object, body);
}

std::optional<std::pair<QVector3D, QVector3D>> CellScene::selectedBody() const
{
    const auto part = bodyPart.find(selected);
    const auto box = bodyBoxes.find(selected);
    if (!cell || part == bodyPart.end() || box == bodyBoxes.end() || cell->hides(selected))
        return std::nullopt;
    const cell::CellLayout::Item* item = cell->find(part->second);
    if (!item || item->hidden || item->shape != cell::CellLayout::Shape::Mesh)
        return std::nullopt;
    return box->second;
}

QVariantMap CellScene::boundsOf(uint object) const
{
    // A body: its own box where its part stands.
    const auto part = bodyPart.find(object);
    const auto box = bodyBoxes.find(object);
    if (const cell::CellLayout::Item* holder = part != bodyPart.end() && box != bodyBoxes.end() && cell
                                                   ? cell->find(part->second)
                                                   : nullptr) {
        cell::CellLayout::Item body = *holder;
        body.boundsMin = {box->second.first.x(), box->second.first.y(), box->second.first.z()};
        body.boundsMax = {box->second.second.x(), box->second.second.y(), box->second.second.z()};
        return Sphere(cell->worldBounds(body), true);
    }
    const cell::CellLayout::Item* item = cell ? cell->find(object) : nullptr;
    if (!item || item->shape == cell::CellLayout::Shape::None)
        return Sphere({}, false);
    return Sphere(cell->worldBounds(*item), true);
}

QVariantMap CellScene::sceneBounds() const
{
    if (!cell)
        return Sphere({}, false);
    const auto box = cell->worldBounds();
    return Sphere(box, box.first != box.second);
}

namespace {

// The pose stored at the path; a value that does not read is no pose.
std::optional<cell::RigidTransform> PoseAt(const sdf::Element& element, std::string_view path)
{
    try {
        if (!element.get(std::string(path)))
            return std::nullopt;
        return cell::RigidTransform::FromPose(element.valueOr<zrv::rob::PoseTemplate<double>>(path, {}));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// A camera pose as the view takes it; not valid when it looks nowhere.
QVariantMap CameraView(const cell::RigidTransform& pose)
{
    const cell::Vec3d look = pose.rotate({1, 0, 0});
    const double length = std::sqrt(look[0] * look[0] + look[1] * look[1] + look[2] * look[2]);
    return {{QStringLiteral("valid"), length > 0.5},
            {QStringLiteral("position"), CellScene::ToVector(pose.t)},
            {QStringLiteral("direction"), CellScene::ToVector(look)}};
}

} // namespace

QVariantList CellScene::viewPoints() const
{
    QVariantList out;
    const std::shared_ptr<sdf::Element> station = cell ? cell->root()->get("station") : nullptr;
    if (!station)
        return out;
    for (const auto& view : station->children("view_point")) {
        const std::optional<cell::RigidTransform> pose = PoseAt(*view, "pose");
        QVariantMap entry = pose ? CameraView(*pose) : QVariantMap();
        if (!entry.value(QStringLiteral("valid")).toBool())
            continue;
        entry.insert(QStringLiteral("id"), view->getId(false));
        const std::shared_ptr<sdf::Element> name = view->get("name");
        entry.insert(QStringLiteral("name"), name ? QString::fromStdString(name->getStringFromValue()) : QString());
        out.append(entry);
    }
    return out;
}

QVariantMap CellScene::lastViewpoint() const
{
    const std::shared_ptr<sdf::Element> station = cell ? cell->root()->get("station") : nullptr;
    const std::optional<cell::RigidTransform> pose =
        station ? PoseAt(*station, "last_viewpoint_pose") : std::nullopt;
    const bool unset = !pose || (pose->t == cell::Vec3d{0, 0, 0} && pose->q == std::array<double, 4>{1, 0, 0, 0});
    return unset ? QVariantMap{{QStringLiteral("valid"), false}} : CameraView(*pose);
}

} // namespace zrv::core
