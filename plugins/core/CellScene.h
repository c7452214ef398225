#pragma once

// The cell as the 3D view shows it: the layout of the open station
// (cell::CellLayout) with what QML needs of it, in the station's own frame
// (millimetres, z up). QML reaches it as `station.scene`.
//
// `revision` counts the changes of poses; the view binds positions to it.
// `meshes` changes only when another station is opened, so that loaded
// meshes are not read again when something moves.

#include "SceneVisibility.h"

#include "cell/CellKinematics.h"
#include "cell/CellLayout.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>
#include <QtCore/QVariantList>
#include <QtCore/QVariantMap>
#include <QtGui/QQuaternion>
#include <QtGui/QVector3D>

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace sdf {
class Element;
}

namespace zrv::core {

class CellScene : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int revision READ revision NOTIFY changed)
    Q_PROPERTY(int itemCount READ itemCount NOTIFY changed)
    Q_PROPERTY(QVariantList meshes READ meshes NOTIFY meshesChanged)
    Q_PROPERTY(uint selectedId READ selectedId WRITE setSelectedId NOTIFY selectionChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY selectionChanged)
    Q_PROPERTY(QVector3D selectionPosition READ selectionPosition NOTIFY selectionChanged)
    Q_PROPERTY(QQuaternion selectionRotation READ selectionRotation NOTIFY selectionChanged)
    Q_PROPERTY(QVector3D selectionCentre READ selectionCentre NOTIFY selectionChanged)
    Q_PROPERTY(QVector3D selectionSize READ selectionSize NOTIFY selectionChanged)
    // Whether this process can draw 3D at all (OpenGL on a real or virtual
    // display); without, the window shows a notice instead of the view.
    Q_PROPERTY(bool renderable READ renderable CONSTANT)
    // Milliseconds since the station was opened (for measuring the view).
    Q_PROPERTY(double sinceReset READ sinceReset)
    // What the view hides (view state, not the station's).
    Q_PROPERTY(QObject* visibility READ visibility CONSTANT)

public:
    explicit CellScene(QObject* parent = nullptr);
    ~CellScene() override;

    // Shows a station's layout (see Lay); null empties the scene. The same
    // station laid out again (after an edit of its structure) keeps the
    // camera; another one emits stationOpened.
    void reset(std::unique_ptr<cell::CellLayout> prepared, bool sameStation = false);
    // The layout of the station whose root that is, read from stationFile
    // (empty for a new one): geometry files named relative to the station
    // are found beside that file. Built on any thread: a large station's
    // takes tens of milliseconds, which a reader thread can spend instead
    // of the window.
    static std::unique_ptr<cell::CellLayout> Lay(std::shared_ptr<sdf::Element> root, const QString& stationFile);
    // Reads poses and joint values again after the document changed.
    Q_INVOKABLE void refresh();
    // Shows the mechanisms (by id) with these joint values instead of the
    // document's (simulation playback); the document is not touched.
    void showJoints(const std::vector<std::pair<std::uint32_t, std::vector<double>>>& joints);

    const cell::CellLayout* layout() const { return cell.get(); }
    int revision() const { return rev; }
    int itemCount() const { return cell ? static_cast<int>(cell->items().size()) : 0; }
    QVariantList meshes() const { return meshList; }

    uint selectedId() const { return selected; }
    void setSelectedId(uint id);
    bool hasSelection() const;
    QVector3D selectionPosition() const;
    QQuaternion selectionRotation() const;
    QVector3D selectionCentre() const;
    QVector3D selectionSize() const;

    static bool renderable() { return canRender; }
    double sinceReset() const { return clock.isValid() ? clock.nsecsElapsed() / 1e6 : 0; }
    // Decided once by the plug-in before its window exists.
    static void setRenderable(bool value) { canRender = value; }

    Q_INVOKABLE QVector3D positionOf(uint object) const;
    Q_INVOKABLE QQuaternion rotationOf(uint object) const;
    // The object a ray (station frame) meets first, or 0.
    Q_INVOKABLE uint pick(const QVector3D& origin, const QVector3D& direction) const;
    // The extent of one loaded file of the object (of its body, if given);
    // an object drawn from several bodies spans them all.
    Q_INVOKABLE void setMeshBounds(uint object, const QVector3D& min, const QVector3D& max, uint body = 0);
    // A geometry file that could not be read is listed with meshProblems()
    // (on its body, if given); an object none of whose files could be read
    // is drawn as a box.
    Q_INVOKABLE void setMeshFailed(uint object, const QString& reason = {}, uint body = 0);
    // The object and distance (station mm along the unit ray) of the
    // nearest shape that is not a loaded mesh: {object: uint, distance:
    // real}; the view picks meshes by their triangles and takes the nearer.
    Q_INVOKABLE QVariantMap pickOther(const QVector3D& origin, const QVector3D& direction) const;
    // What a click on a body of the object selects: the object, or the body
    // once the object or another of its bodies is selected.
    Q_INVOKABLE uint clickTarget(uint object, uint body) const;
    // Whether the station's `visibility` or the view hides the object.
    Q_INVOKABLE bool hides(uint object) const { return cell && object != 0 && cell->hides(object); }
    // The label by the pointer for what it is over (HoverText).
    Q_INVOKABLE QString describe(uint object, uint body) const;
    SceneVisibility* visibility() { return &shown; }
    // Files the layout refused or missed, then files the view failed to read.
    std::vector<cell::CellLayout::MeshProblem> meshProblems() const;

    // The reach of every program target (CellKinematics), judged again
    // whenever the scene is rebuilt or refreshed.
    const std::vector<cell::CellKinematics::TargetReach>& reach() const { return reachList; }
    // The status of the target an instruction moves to, if it has one.
    std::optional<cell::ReachStatus> reachOf(std::uint32_t instruction) const;
    // One problem per target that the robot does not reach as asked.
    std::vector<cell::CellLayout::MeshProblem> reachProblems() const;
    Q_INVOKABLE QString reachText(uint instruction) const;
    // The kinematics of the station shown (null without one).
    const cell::CellKinematics* kinematics() const { return kinematicsModel.get(); }
    // {centre: vector3d, radius: real, valid: bool} of one object or of all.
    Q_INVOKABLE QVariantMap boundsOf(uint object) const;
    Q_INVOKABLE QVariantMap sceneBounds() const;
    // Camera views the station holds, in its frame (millimetres): a camera
    // is at its pose's position and looks along the pose's x axis, z up.
    // The station's `view_point`s as {id, name, position, direction}, in
    // document order.
    Q_INVOKABLE QVariantList viewPoints() const;
    // Its `last_viewpoint_pose` as {valid, position, direction}; not valid
    // while it holds the default (no view saved) or looks nowhere.
    Q_INVOKABLE QVariantMap lastViewpoint() const;

    // Makes source the scene (a CellScene, or nothing) that follower draws,
    // calling rebuild now and whenever the scene changes; false when it
    // drew that scene already.
    template <class Follower>
    static bool Follow(QPointer<CellScene>& source, QObject* scene, Follower* follower, void (Follower::*rebuild)())
    {
        auto* cell = qobject_cast<CellScene*>(scene);
        if (cell == source)
            return false;
        if (source)
            QObject::disconnect(source, nullptr, follower, nullptr);
        source = cell;
        if (source)
            QObject::connect(source, &CellScene::changed, follower, rebuild);
        (follower->*rebuild)();
        return true;
    }

    static QVector3D ToVector(const cell::Vec3d& v) { return {float(v[0]), float(v[1]), float(v[2])}; }
    static QQuaternion ToQuaternion(const cell::RigidTransform& t)
    {
        return {float(t.q[0]), float(t.q[1]), float(t.q[2]), float(t.q[3])};
    }

signals:
    void changed();
    // A station was opened (or emptied): the view sets its camera anew.
    void stationOpened();
    void meshesChanged();
    // A geometry file failed to load, or the reach of the targets changed.
    void problemsChanged();
    void selectionChanged();

private:
    const cell::CellLayout::Item* selectedItem() const;
    // The selected body's box in its part's frame, if one is selected.
    std::optional<std::pair<QVector3D, QVector3D>> selectedBody() const;
    // Hides in the layout what the view hides.
    void applyVisibility();
    // Lays the cell out again and tells the view (no reach judged).
    void relayout();
    void judgeReach();

    static bool canRender;
    std::unique_ptr<cell::CellLayout> cell;
    QVariantList meshList;
    std::vector<cell::CellLayout::MeshProblem> loadFailures;
    std::unique_ptr<cell::CellKinematics> kinematicsModel;
    std::vector<cell::CellKinematics::TargetReach> reachList;
    std::unordered_map<std::uint32_t, std::size_t> reachByInstruction;
    uint selected = 0;
    int rev = 0;
    SceneVisibility shown;
    // Bodies drawn from files of their own: the part each is on, and the
    // box of each loaded one in its part's frame.
    std::unordered_map<uint, uint> bodyPart;
    std::unordered_map<uint, std::pair<QVector3D, QVector3D>> bodyBoxes;
    // Per object: its loaded files' joint box, and how many files it has
    // and how many could not be read.
    std::unordered_map<uint, std::pair<QVector3D, QVector3D>> meshBoxes;
    std::unordered_map<uint, std::pair<int, int>> meshFiles;
    QElapsedTimer clock;
};

} // namespace zrv::core
