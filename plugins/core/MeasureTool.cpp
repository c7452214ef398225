#include "MeasureTool.h"

#include "CellScene.h"
#include "MeshHit.h"

#include "cell/FrameMath.h"

#include <QtGui/QQuaternion>

#include <limits>

namespace zrv::core {

using namespace cell::frame;

MeasureTool::MeasureTool(QObject* parent)
    : QObject(parent)
{
    setHint();
}

QObject* MeasureTool::scene() const
{
    return cellScene.data();
}

void MeasureTool::setScene(QObject* value)
{
    auto* cell = qobject_cast<CellScene*>(value);
    if (cell == cellScene)
        return;
    if (cellScene)
        disconnect(cellScene, nullptr, this, nullptr);
    cellScene = cell;
    // Points on another station's shapes mean nothing here.
    if (cellScene)
        connect(cellScene, &CellScene::stationOpened, this, &MeasureTool::clear);
    clear();
    emit sceneChanged();
}

QVariantList MeasureTool::pointList() const
{
    QVariantList list;
    for (const cell::Vec3d& p : measured.points())
        list.append(QVariant::fromValue(CellScene::ToVector(p)));
    return list;
}

QVariantList MeasureTool::legs() const
{
    QVariantList list;
    const auto& p = measured.points();
    for (std::size_t k = 1; k < p.size(); ++k) {
        const QVector3D from = CellScene::ToVector(p[k - 1]);
        const QVector3D to = CellScene::ToVector(p[k]);
        const QVector3D along = to - from;
        list.append(QVariantMap{
            {QStringLiteral("centre"), QVariant::fromValue((from + to) / 2)},
            {QStringLiteral("rotation"), QVariant::fromValue(QQuaternion::rotationTo({0, 1, 0}, along))},
            {QStringLiteral("length"), along.length()}});
    }
    return list;
}

QVariantList MeasureTool::labels() const
{
    QVariantList list;
    const auto& p = measured.points();
    const auto label = [&](const cell::Vec3d& at, const QString& text) {
        list.append(QVariantMap{{QStringLiteral("position"), QVariant::fromValue(CellScene::ToVector(at))},
                                {QStringLiteral("text"), text}});
    };
    if (p.size() >= 2)
        label(Lerp(p[0], p[1], 0.5), QStringLiteral("%1 mm").arg(Measurement::Number(Distance(p[0], p[1]))));
    if (p.size() == 3) {
        label(Lerp(p[1], p[2], 0.5), QStringLiteral("%1 mm").arg(Measurement::Number(Distance(p[1], p[2]))));
        if (const auto angle = Measurement::AngleAt(p[0], p[1], p[2]))
            label(p[1], QStringLiteral("%1°").arg(Measurement::Number(*angle)));
    }
    return list;
}

bool MeasureTool::place(uint meshObject, const QVector3D& origin, const QVector3D& direction)
{
    const cell::CellLayout* layout = cellScene ? cellScene->layout() : nullptr;
    const cell::Vec3d from{origin.x(), origin.y(), origin.z()};
    const cell::Vec3d along = cell::Normalised({direction.x(), direction.y(), direction.z()}, {0, 0, 0});
    if (!layout || along == cell::Vec3d{0, 0, 0}) {
        note = tr("No station is shown: nothing to measure");
        emit changed();
        return false;
    }
    // The nearer of the mesh's triangles and the other shapes' boxes, as a
    // click that selects takes it.
    double nearest = std::numeric_limits<double>::infinity();
    if (meshObject != 0)
        if (const auto hit = MeshHit::Cast(*layout, meshObject, from, along))
            nearest = hit->hit.distance;
    double boxAt = std::numeric_limits<double>::infinity();
    if (layout->pick(from, along, false, &boxAt) != 0 && boxAt < nearest)
        nearest = boxAt;
    if (nearest == std::numeric_limits<double>::infinity()) {
        note = tr("No shape under the pointer: nothing measured there");
        emit changed();
        return false;
    }
    measured.add(Add(from, Scale(along, nearest)));
    setHint();
    emit changed();
    return true;
}

void MeasureTool::clear()
{
    measured.clear();
    setHint();
    emit changed();
}

void MeasureTool::setHint()
{
    switch (measured.points().size()) {
    case 0: note = tr("Click a shape to place the first point"); break;
    case 1: note = tr("Click a second point for the distance"); break;
    case 2: note = tr("Click a third point for the angle at the second, Escape to clear"); break;
    default: note = tr("Click to start a new measurement, Escape to clear"); break;
    }
}

} // namespace zrv::core
