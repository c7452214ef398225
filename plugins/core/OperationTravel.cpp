#include "OperationTravel.h"

#include "CellScene.h"
#include "ElementSearch.h"
#include "FacePick.h"
#include "MeshGeometry.h"
#include "StationSnapshot.h"

#include "cell/CadPartGeometry.h"
#include "cell/FrameMath.h"
#include "cell/OperationEdges.h"

#include <sdformat/Element.h>

#include <QtCore/QVariantMap>
#include <QtGui/QUndoStack>
#include <QtGui/QVector3D>

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// The operation follows its feature's edges, not its own, when its mfgid
// names a feature that has some (as cell::OperationEdges decides).
bool FollowsFeature(const ElementPtr& root, const sdf::Element& operation)
{
    const ElementPtr feature = FindById(root, operation.valueOr<unsigned int>("mfgid", 0u));
    return feature && feature->label() == "mfg" && !feature->children("mfgedge").empty();
}

// The operation's edge with that number (from 1), or null.
ElementPtr NthEdge(const sdf::Element& process, int number)
{
    int index = 0;
    for (const auto& edge : process.children("edge"))
        if (++index == number)
            return edge;
    return nullptr;
}

// Where the curve goes, in words: the station axes its chord from start to
// end leans along most ("+x-z"), or, on a closed curve, its start.
QString Towards(const cell::EdgeCurve& curve)
{
    const auto& points = curve.points;
    if (points.size() < 2)
        return {};
    const auto at = [&](std::size_t k) { return points[curve.reversed ? points.size() - 1 - k : k].position; };
    double length = 0;
    for (std::size_t k = 1; k < points.size(); ++k)
        length += Distance(points[k - 1].position, points[k].position);
    cell::Vec3d way = Sub(at(points.size() - 1), at(0));
    if (Length(way) < length * 0.01)
        way = Sub(at(1), at(0));
    way = cell::Normalised(way, {0, 0, 0});
    std::vector<int> axes{0, 1, 2};
    std::ranges::sort(axes, [&](int a, int b) { return std::abs(way[a]) > std::abs(way[b]); });
    QString words;
    for (int axis : axes)
        if (std::abs(way[axis]) >= 0.38) // about 22.5 degrees off the axis or nearer
            words += QStringLiteral("%1%2").arg(way[axis] > 0 ? '+' : '-').arg(QChar("xyz"[axis]));
    return words;
}

// The body's file and the options Generate reads it with
// (cell::CadPartGeometry); empty without a file.
std::filesystem::path BodyFile(const sdf::Element& body, const std::filesystem::path& base, cell::LoadOptions* options)
{
    std::string uri = body.valueOr<std::string>("geometry/uri", std::string());
    if (uri.starts_with("file://"))
        uri.erase(0, 7);
    if (uri.empty())
        return {};
    std::filesystem::path file(uri);
    if (file.is_relative())
        file = base / file;
    options->fileType = body.valueOr<std::string>("geometry/file_type", std::string("step"));
    return file;
}

} // namespace

OperationTravel::OperationTravel(Host host, QObject* parent)
    : QObject(parent)
    , host(std::move(host))
{
    waiting.setSingleShot(true);
    waiting.setInterval(100);
    connect(&waiting, &QTimer::timeout, this, &OperationTravel::refresh);
    // Every edit of the document is an undo step: a reversed edge, a moved
    // part, an edge added or taken back.
    if (this->host.undo)
        connect(this->host.undo, &QUndoStack::indexChanged, this, &OperationTravel::refresh);
    if (this->host.scene)
        connect(this->host.scene, &CellScene::meshesChanged, this, &OperationTravel::refresh);
    if (this->host.pick)
        connect(this->host.pick, &FacePick::changed, this, [this] {
            result.clear();
            followPick();
        });
}

void OperationTravel::setOperationId(uint id)
{
    if (id == operation)
        return;
    operation = id;
    refresh();
}

bool OperationTravel::filesReady(const sdf::Element& element)
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const cell::CellLayout* layout = host.scene ? host.scene->layout() : nullptr;
    if (!root || !layout)
        return true;
    std::vector<std::uint32_t> bodies;
    for (const char* process : {"process_edgeoperation", "process_curveoperation"})
        if (const ElementPtr p = element.get(process)) {
            for (const auto& edge : p->children("edge"))
                bodies.push_back(edge->valueOr<unsigned int>("bodyface/bodyid", 0u));
            for (const auto& curve : p->children("curve"))
                bodies.push_back(curve->valueOr<unsigned int>("bodyid", 0u));
            bodies.push_back(p->valueOr<unsigned int>("bodyface/bodyid", 0u));
        }
    std::ranges::sort(bodies);
    bodies.erase(std::unique(bodies.begin(), bodies.end()), bodies.end());
    bool ready = true;
    for (std::uint32_t id : bodies) {
        const ElementPtr body = FindById(root, id);
        cell::LoadOptions options;
        const std::filesystem::path file =
            body && body->label() == "body" ? BodyFile(*body, layout->baseDirectory(), &options) : std::filesystem::path();
        if (file.empty())
            continue;
        // Started on the cache's workers, so that a file not yet read does
        // not hold up the window; a failed read is Generate's error below.
        if (MeshGeometry::Cache().load(file, options).wait_for(std::chrono::seconds(0)) != std::future_status::ready)
            ready = false;
    }
    return ready;
}

void OperationTravel::refresh()
{
    waiting.stop();
    const ElementPtr root = host.root ? host.root() : nullptr;
    const cell::CellLayout* layout = host.scene ? host.scene->layout() : nullptr;
    const ElementPtr element = root && layout ? FindById(root, operation) : nullptr;
    std::vector<cell::EdgeCurve> found;
    QString problem;
    if (element && element->label() == "operation") {
        if (!filesReady(*element)) {
            waiting.start();
            return;
        }
        try {
            // What Generate does (RobotControl::generate), without the path.
            const auto geometry = cell::CadPartGeometry::For(
                root, layout->baseDirectory(),
                std::shared_ptr<cell::GeometryCache>(std::shared_ptr<void>(), &MeshGeometry::Cache()));
            found = cell::OperationEdges(root, *layout, layout->baseDirectory(), geometry).of(*element);
        } catch (const std::exception& e) {
            problem = QString::fromStdString(e.what());
        }
    }
    curves = std::move(found);
    why = problem;
    emit edgesChanged();
    followPick();
}

QVariantList OperationTravel::labels() const
{
    QVariantList list;
    int number = 0;
    for (const cell::EdgeCurve& curve : curves) {
        ++number;
        if (curve.points.empty())
            continue;
        // Where the path starts on the edge: the arrows point away from it.
        const cell::Vec3d& start = (curve.reversed ? curve.points.back() : curve.points.front()).position;
        list.append(QVariantMap{{QStringLiteral("number"), number},
                                {QStringLiteral("position"), QVariant::fromValue(CellScene::ToVector(start))}});
    }
    return list;
}

int OperationTravel::edgeOf(const sdf::Element& element) const
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const FacePick* pick = host.pick;
    const cell::Geometry* shape = pick && pick->valid() ? pick->geometry() : nullptr;
    const ElementPtr process = element.get("process_edgeoperation");
    if (!shape || pick->edge() < 0 || !process || FollowsFeature(root, element))
        return 0;
    const auto& faces = shape->faces;
    const std::uint32_t bodyEdge =
        faces[static_cast<std::size_t>(pick->face())].edges[static_cast<std::size_t>(pick->edge())];
    int index = 0;
    for (const auto& edge : process->children("edge")) {
        ++index;
        const auto body = edge->valueOr<unsigned int>("bodyface/bodyid", 0u);
        const auto face = edge->valueOr<unsigned int>("bodyface/faceindex", 0u);
        const auto number = edge->valueOr<unsigned int>("edgeindex", 0u);
        // The same edge, named from either of its faces.
        if (body == pick->bodyId() && face < faces.size() && number < faces[face].edges.size() &&
            faces[face].edges[number] == bodyEdge)
            return index;
    }
    return 0;
}

void OperationTravel::followPick()
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr element = root ? FindById(root, operation) : nullptr;
    picked = element && element->label() == "operation" ? edgeOf(*element) : 0;
    pickedWords.clear();
    if (picked > 0) {
        const bool reversed =
            NthEdge(*element->get("process_edgeoperation"), picked)->valueOr<bool>("reversed", false);
        pickedWords = tr("edge %1 of %2: %3")
                          .arg(picked)
                          .arg(QString::fromStdString(NameOf(*element)), reversed ? tr("reversed") : tr("not reversed"));
        // The curves are the operation's edges one for one (no feature).
        if (static_cast<std::size_t>(picked) <= curves.size())
            if (const QString towards = Towards(curves[static_cast<std::size_t>(picked - 1)]); !towards.isEmpty())
                pickedWords += tr(", runs towards %1").arg(towards);
    }
    emit pickedChanged();
}

QString OperationTravel::finish(const QString& text, bool ok)
{
    result = text;
    emit pickedChanged();
    return ok ? QString() : text;
}

QString OperationTravel::reversePicked()
{
    return reverse(operation);
}

QString OperationTravel::reverse(uint operationId)
{
    const ElementPtr root = host.root ? host.root() : nullptr;
    const ElementPtr station = root ? root->get("station") : nullptr;
    const ElementPtr element = root ? FindById(root, operationId) : nullptr;
    if (!station || !element || element->label() != "operation")
        return finish(tr("No operation has id %1").arg(operationId), false);
    const QString name = QString::fromStdString(NameOf(*element));
    if (!host.pick || !host.pick->valid() || host.pick->edge() < 0)
        return finish(tr("No edge is picked: Shift+click one on a part"), false);
    const int number = edgeOf(*element);
    if (number <= 0)
        return finish(tr("%1 does not follow the picked edge").arg(name), false);
    const ElementPtr edge = NthEdge(*element->get("process_edgeoperation"), number);
    const ElementPtr before = station->clone();
    const bool reversed = !edge->valueOr<bool>("reversed", false);
    edge->set<bool>("reversed", reversed);
    if (host.undo)
        host.undo->push(new StationSnapshot(tr("Reverse edge %1 of %2").arg(number).arg(name), root, before,
                                            host.structureChanged));
    if (host.structureChanged)
        host.structureChanged();
    refresh();
    return finish(tr("Edge %1 of %2 is %3 now").arg(number).arg(name, reversed ? tr("reversed") : tr("not reversed")),
                  true);
}

} // namespace zrv::core
