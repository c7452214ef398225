#include "SceneInstancing.h"

#include "CellScene.h"

#include <QtGui/QColor>

namespace zrv::core {

namespace {

QColor BoxColour(const std::string& label)
{
    if (label == "link")
        return QColor(232, 163, 60);
    if (label == "smart_component")
        return QColor(60, 179, 113);
    if (label == "pointcloud")
        return QColor(155, 107, 214);
    return QColor(140, 150, 160);
}

QColor ReachColour(std::optional<cell::ReachStatus> status)
{
    if (!status)
        return QColor(150, 150, 150);
    switch (*status) {
    case cell::ReachStatus::Reachable: return QColor(40, 170, 70);
    case cell::ReachStatus::Singular:
    case cell::ReachStatus::NotInConfiguration: return QColor(235, 160, 0);
    case cell::ReachStatus::OutsideLimits:
    case cell::ReachStatus::OutOfReach: return QColor(215, 30, 40);
    case cell::ReachStatus::CannotJudge: break;
    }
    return QColor(150, 150, 150);
}

} // namespace

SceneInstancing::SceneInstancing(QQuick3DObject* parent)
    : QQuick3DInstancing(parent)
{
}

QObject* SceneInstancing::scene() const
{
    return source.data();
}

void SceneInstancing::setScene(QObject* scene)
{
    if (CellScene::Follow(source, scene, this, &SceneInstancing::rebuild))
        emit sceneChanged();
}

void SceneInstancing::setPart(Part part)
{
    if (part == which)
        return;
    which = part;
    rebuild();
    emit partChanged();
}

void SceneInstancing::rebuild()
{
    table.clear();
    int n = 0;
    const cell::CellLayout* cell = source ? source->layout() : nullptr;
    if (cell) {
        // The built-in cube is 100 units wide, centred on its origin.
        constexpr float kCube = 100.0f;
        for (const cell::CellLayout::Item& item : cell->items()) {
            if (item.hidden)
                continue;
            const QQuaternion rotation = CellScene::ToQuaternion(item.world);
            const QVector3D origin = CellScene::ToVector(item.world.t);
            InstanceTableEntry entry;
            if (which == Boxes) {
                if (item.shape != cell::CellLayout::Shape::Box)
                    continue;
                const QVector3D lo = CellScene::ToVector(item.boundsMin);
                const QVector3D hi = CellScene::ToVector(item.boundsMax);
                entry = calculateTableEntryFromQuaternion(origin + rotation.rotatedVector((lo + hi) / 2),
                                                          (hi - lo) / kCube, rotation, BoxColour(item.label));
            } else if (which == Targets) {
                if (item.label != "target")
                    continue;
                // The built-in sphere is 100 units across: a ball of 14 mm.
                entry = calculateTableEntryFromQuaternion(origin, QVector3D(0.14f, 0.14f, 0.14f), rotation,
                                                          ReachColour(source->reachOf(item.object)));
            } else {
                if (item.shape != cell::CellLayout::Shape::Triad)
                    continue;
                const float length = float(item.boundsMax[0]);
                entry = calculateTableEntryFromQuaternion(origin, QVector3D(length, length, length), rotation, Qt::white);
            }
            table.append(reinterpret_cast<const char*>(&entry), sizeof(entry));
            ++n;
        }
    }
    const bool countChanges = n != instances;
    instances = n;
    markDirty();
    if (countChanges)
        emit countChanged();
}

QByteArray SceneInstancing::getInstanceBuffer(int* instanceCount)
{
    if (instanceCount)
        *instanceCount = instances;
    return table;
}

} // namespace zrv::core
