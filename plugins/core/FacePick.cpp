#include "FacePick.h"

#include "CellScene.h"
#include "ElementSearch.h"
#include "FaceHit.h"
#include "MeshGeometry.h"
#include "StationSnapshot.h"

#include "cell/FrameMath.h"
#include "cell/GeometryFormat.h"

#include <sdformat/Element.h>

#include <QtGui/QUndoStack>

#include <fmt/format.h>

#include <exception>
#include <string>

namespace zrv::core {

using namespace cell::frame;

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

std::string NameOf(const sdf::Element& element)
{
    const std::string name = element.valueOr<std::string>("name", std::string());
    return name.empty() ? fmt::format("{} {}", element.label(), element.getId(false)) : name;
}

// A body's file as the layout names it: absolute, beside the station for
// a relative name.
std::filesystem::path FileOf(const sdf::Element& body, const std::filesystem::path& baseDirectory)
{
    std::string uri = body.valueOr<std::string>("geometry/uri", std::string());
    if (uri.starts_with("file://"))
        uri.erase(0, 7);
    if (uri.empty())
        return {};
    std::filesystem::path file(uri);
    if (file.is_relative())
        file = baseDirectory / file;
    std::error_code ec;
    return std::filesystem::absolute(file, ec).lexically_normal();
}

bool IsBrep(const cell::Geometry& shape)
{
    const auto format = cell::FormatFromName(shape.format);
    return format && cell::IsBrepFormat(*format);
}

} // namespace

struct FacePick::Body
{
    std::uint32_t object = 0;
    std::string name;
    cell::GeometryCache::Result shape;
    cell::RigidTransform world;
};

FacePick::FacePick(Host host, QObject* parent)
    : QObject(parent)
    , host(std::move(host))
{
    // Another station: its faces are other ones. An edit (or its undo)
    // that takes the object away takes the pick along.
    if (this->host.scene) {
        connect(this->host.scene, &CellScene::meshesChanged, this, &FacePick::clear);
        connect(this->host.scene, &CellScene::changed, this, [this] {
            const cell::CellLayout* layout = this->host.scene->layout();
            const cell::CellLayout::Item* item = layout && shape ? layout->find(object) : nullptr;
            if (shape && (!item || item->shape != cell::CellLayout::Shape::Mesh))
                clear();
        });
    }
}

QString FacePick::text() const
{
    if (!shape)
        return {};
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr element = root ? FindById(root, object) : nullptr;
    const QString name = QString::fromStdString(element ? NameOf(*element) : fmt::format("object {}", object));
    const cell::Geometry::Face& f = shape->faces[static_cast<std::size_t>(faceIndex)];
    if (edgeIndex >= 0)
        return tr("%1 · face %2 · edge %3 (%4 mm)")
            .arg(name)
            .arg(faceIndex)
            .arg(edgeIndex)
            .arg(shape->edges[f.edges[static_cast<std::size_t>(edgeIndex)]].length, 0, 'f', 1);
    if (!IsBrep(*shape))
        return tr("%1 · face %2 (%3 mm², a mesh: no edges)").arg(name).arg(faceIndex).arg(f.area, 0, 'f', 1);
    return tr("%1 · face %2 (%3 mm²)").arg(name).arg(faceIndex).arg(f.area, 0, 'f', 1);
}

void FacePick::clear()
{
    if (!shape)
        return;
    shape.reset();
    object = body = 0;
    faceIndex = edgeIndex = -1;
    picked();
}

void FacePick::picked()
{
    emit changed();
    if (!result.isEmpty()) {
        result.clear();
        emit resultChanged();
    }
}

bool FacePick::pickRay(uint objectId, const QVector3D& origin, const QVector3D& direction)
{
    const cell::CellLayout* layout = host.scene ? host.scene->layout() : nullptr;
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr element = root ? FindById(root, objectId) : nullptr;
    cell::GeometryCache::Result drawn;
    cell::RigidTransform world;
    std::uint32_t owner = objectId;
    std::uint32_t bodyId = 0;
    if (element && element->label() == "body") {
        // One body of a part drawn from several.
        QString why;
        const auto found = bodyShape(objectId, &why);
        if (!found) {
            clear();
            return false;
        }
        drawn = found->shape;
        world = found->world;
        owner = found->object;
        bodyId = objectId;
    } else {
        const cell::CellLayout::Item* item = layout ? layout->find(objectId) : nullptr;
        if (!item || item->shape != cell::CellLayout::Shape::Mesh || !element) {
            clear();
            return false;
        }
        try {
            cell::LoadOptions options;
            options.fileType = item->meshType;
            drawn = MeshGeometry::Cache().get(item->mesh, options);
        } catch (const std::exception&) {
            clear();
            return false;
        }
        world = item->world;
        // The body the drawn file is, if the object has one.
        for (const auto& b : element->children("body")) {
            if (FileOf(*b, layout->baseDirectory()) == item->mesh) {
                bodyId = b->getId(false);
                break;
            }
        }
    }
    const cell::RigidTransform toShape = world.inverse();
    const cell::Vec3d from = toShape.apply({origin.x(), origin.y(), origin.z()});
    const cell::Vec3d along = cell::Normalised(toShape.rotate({direction.x(), direction.y(), direction.z()}), {0, 0, 1});
    const auto hit = drawn ? FaceHit::Cast(*drawn, from, along) : std::nullopt;
    if (!hit) {
        clear();
        return false;
    }
    shape = drawn;
    object = owner;
    body = bodyId;
    faceIndex = static_cast<int>(hit->face);
    edgeIndex = IsBrep(*drawn) ? static_cast<int>(FaceHit::NearestEdge(*drawn, hit->face, hit->point)) : -1;
    picked();
    return true;
}

std::optional<FacePick::Body> FacePick::bodyShape(std::uint32_t id, QString* why) const
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const cell::CellLayout* layout = host.scene ? host.scene->layout() : nullptr;
    const ElementPtr element = root && id != 0 ? FindById(root, id) : nullptr;
    if (!element || element->label() != "body" || !layout) {
        *why = tr("No body has id %1").arg(id);
        return std::nullopt;
    }
    const ElementPtr holder = element->parent();
    const cell::CellLayout::Item* item = holder ? layout->find(holder->getId(false)) : nullptr;
    const std::filesystem::path file = FileOf(*element, layout->baseDirectory());
    if (!item || item->shape != cell::CellLayout::Shape::Mesh || file.empty()) {
        *why = tr("Body %1 is not drawn").arg(id);
        return std::nullopt;
    }
    Body found{item->object, NameOf(*holder), nullptr, item->world};
    try {
        cell::LoadOptions options;
        options.fileType = element->valueOr<std::string>("geometry/file_type", std::string());
        found.shape = MeshGeometry::Cache().get(file, options);
    } catch (const std::exception& e) {
        *why = tr("Body %1: %2").arg(id).arg(QString::fromStdString(e.what()));
        return std::nullopt;
    }
    return found;
}

QString FacePick::pickEdge(uint bodyId, int face, int edge)
{
    QString why;
    const auto found = bodyShape(bodyId, &why);
    if (!found)
        return why;
    const cell::Geometry& g = *found->shape;
    if (face < 0 || static_cast<std::size_t>(face) >= g.faces.size())
        return tr("Body %1 has no face %2 (it has %3)").arg(bodyId).arg(face).arg(g.faces.size());
    if (edge >= 0 && !IsBrep(g))
        return tr("%1: a mesh has no edges").arg(QString::fromStdString(found->name));
    const cell::Geometry::Face& f = g.faces[static_cast<std::size_t>(face)];
    if (edge >= 0 && static_cast<std::size_t>(edge) >= f.edges.size())
        return tr("Face %1 of body %2 has no edge %3 (it has %4)").arg(face).arg(bodyId).arg(edge).arg(f.edges.size());
    shape = found->shape;
    object = found->object;
    body = bodyId;
    faceIndex = face;
    edgeIndex = edge;
    picked();
    return {};
}

std::optional<QVector3D> FacePick::pointBeside(uint bodyId, int face, int edge) const
{
    QString why;
    const auto found = bodyShape(bodyId, &why);
    if (!found || face < 0 || edge < 0 || static_cast<std::size_t>(face) >= found->shape->faces.size())
        return std::nullopt;
    const auto& tracks = found->shape->faces[static_cast<std::size_t>(face)].tracks;
    if (static_cast<std::size_t>(edge) >= tracks.size() || tracks[static_cast<std::size_t>(edge)].points.size() < 2)
        return std::nullopt;
    const cell::Geometry::EdgeTrack& track = tracks[static_cast<std::size_t>(edge)];
    double length = 0;
    for (std::size_t k = 1; k < track.points.size(); ++k)
        length += Distance(track.points[k - 1], track.points[k]);
    // The middle by length; the face lies to the left of the edge's way
    // seen from outside (its boundary runs counter-clockwise).
    std::size_t k = 1;
    double walked = 0;
    while (k + 1 < track.points.size() && walked + Distance(track.points[k - 1], track.points[k]) < length / 2) {
        walked += Distance(track.points[k - 1], track.points[k]);
        ++k;
    }
    const double span = Distance(track.points[k - 1], track.points[k]);
    const cell::Vec3d middle = Lerp(track.points[k - 1], track.points[k], span > 0 ? (length / 2 - walked) / span : 0);
    const cell::Vec3d inward = cell::Normalised(Cross(track.normals[k], track.tangents[k]), {0, 0, 0});
    const cell::Vec3d beside = found->world.apply(Add(middle, Scale(inward, std::min(4.0, length * 0.04))));
    return CellScene::ToVector(beside);
}

QString FacePick::finish(const QString& text, bool ok)
{
    result = text;
    emit resultChanged();
    return ok ? QString() : text;
}

QString FacePick::addToOperation(uint operationId)
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr station = root ? root->get("station") : nullptr;
    if (!station)
        return finish(tr("No station is open"), false);
    if (!shape)
        return finish(tr("No edge is picked: Shift+click one on a part"), false);
    const ElementPtr holder = FindById(root, object);
    const std::string name = holder ? NameOf(*holder) : fmt::format("object {}", object);
    if (!IsBrep(*shape))
        return finish(QString::fromStdString(fmt::format("{}: a mesh has no edges", name)), false);
    if (body == 0)
        return finish(QString::fromStdString(
            fmt::format("{}: its shape is the object's own file, not a body an operation can name", name)), false);
    if (edgeIndex < 0)
        return finish(QString::fromStdString(fmt::format("{} · face {}: the face has no edges", name, faceIndex)), false);
    const ElementPtr operation = FindById(root, operationId);
    if (!operation || operation->label() != "operation")
        return finish(tr("No operation has id %1").arg(operationId), false);
    const std::string operationName = NameOf(*operation);
    for (const auto& child : operation->elements())
        if (child->label().starts_with("process_") && child->label() != "process_edgeoperation")
            return finish(QString::fromStdString(
                fmt::format("Operation '{}' is not an edge operation: it has {}", operationName, child->label())), false);

    const std::uint32_t bodyEdge =
        shape->faces[static_cast<std::size_t>(faceIndex)].edges[static_cast<std::size_t>(edgeIndex)];
    std::size_t count = 0;
    if (const ElementPtr process = operation->get("process_edgeoperation")) {
        for (const auto& edge : process->children("edge")) {
            ++count;
            const auto otherBody = edge->valueOr<unsigned int>("bodyface/bodyid", 0u);
            const auto otherFace = edge->valueOr<unsigned int>("bodyface/faceindex", 0u);
            const auto otherEdge = edge->valueOr<unsigned int>("edgeindex", 0u);
            // The part is the one its first edge is on.
            if (count == 1) {
                const ElementPtr otherBodyElement = FindById(root, otherBody);
                const ElementPtr part = otherBodyElement ? otherBodyElement->parent() : nullptr;
                if (part && part->getId(false) != object)
                    return finish(QString::fromStdString(
                        fmt::format("Body {} is on {}, not on {}, the part operation '{}' works on", body, name,
                                    NameOf(*part), operationName)), false);
            }
            // The same edge named from either of its faces.
            const auto& faces = shape->faces;
            const bool same = otherBody == body && otherFace < faces.size() &&
                              otherEdge < faces[otherFace].edges.size() && faces[otherFace].edges[otherEdge] == bodyEdge;
            if (same)
                return finish(QString::fromStdString(
                    fmt::format("Operation '{}' follows that edge already (its edge {}: body {}, face {}, edge {})",
                                operationName, count, otherBody, otherFace, otherEdge)), false);
        }
    }

    const ElementPtr before = station->clone();
    const ElementPtr edge = operation->touch("process_edgeoperation")->append("edge");
    edge->set<unsigned int>("edgeindex", static_cast<unsigned int>(edgeIndex));
    edge->set<unsigned int>("bodyface/bodyid", body);
    edge->set<unsigned int>("bodyface/faceindex", static_cast<unsigned int>(faceIndex));
    const QString what = QString::fromStdString(operationName);
    if (host.undo)
        host.undo->push(new StationSnapshot(tr("Add edge to %1").arg(what), root, before, host.structureChanged));
    if (host.structureChanged)
        host.structureChanged();
    return finish(tr("Added body %1 · face %2 · edge %3 to %4 as its edge %5")
                      .arg(body)
                      .arg(faceIndex)
                      .arg(edgeIndex)
                      .arg(what)
                      .arg(count + 1),
                  true);
}

} // namespace zrv::core
