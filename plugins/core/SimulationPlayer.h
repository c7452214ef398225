#pragma once

// The motion simulation of the open station in the window: runs it on
// another thread (after saving the state before the run, one undo step),
// keeps the timeline and plays it back. Playing shows the robots' joints
// from the timeline in the 3D view only: the document keeps its values.
// QML reaches it as `station.simulation`.

#include "SimulationEventModel.h"

#include "cell/MotionTimeline.h"

#include <QtCore/QElapsedTimer>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>
#include <QtCore/QTimer>
#include <QtCore/QVariantList>

#include <memory>
#include <optional>
#include <thread>

namespace zrv::core {

class CellScene;
class StationSession;

class SimulationPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool running READ running NOTIFY runningChanged)
    Q_PROPERTY(bool ready READ ready NOTIFY resultChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY resultChanged)
    Q_PROPERTY(double duration READ duration NOTIFY resultChanged)
    Q_PROPERTY(double time READ time WRITE setTime NOTIFY timeChanged)
    Q_PROPERTY(QString timeText READ timeText NOTIFY timeChanged)
    Q_PROPERTY(bool playing READ playing NOTIFY playingChanged)
    // Playback factor: 1 plays in real time.
    Q_PROPERTY(double speed READ speed WRITE setSpeed NOTIFY speedChanged)
    // "path NAME: 1.234 s" for every path, then "task NAME: ..." per task.
    Q_PROPERTY(QStringList cycleTimes READ cycleTimes NOTIFY resultChanged)
    Q_PROPERTY(QObject* events READ events CONSTANT)
    Q_PROPERTY(int eventCount READ eventCount NOTIFY resultChanged)
    // The objects drawn as boxes that collide at the current time, as
    // boxes for the view: {position, rotation, centre, size} in the
    // station's frame. Objects with a mesh are in collidingMeshes instead:
    // the view colours their own triangles.
    Q_PROPERTY(QVariantList collisionBoxes READ collisionBoxes NOTIFY timeChanged)
    Q_PROPERTY(QVariantList collidingMeshes READ collidingMeshes NOTIFY timeChanged)
    // What every task carries out at the current time, one line per task:
    // "TASK: path PATH, instruction ID" or "TASK: done".
    Q_PROPERTY(QString nowRunning READ nowRunning NOTIFY timeChanged)

public:
    SimulationPlayer(StationSession& session, CellScene& scene, QObject* parent = nullptr);
    ~SimulationPlayer() override;

    // Seconds a step moves the time on.
    static constexpr double StepTime = 0.1;

    bool running() const { return worker.joinable(); }
    bool ready() const { return timeline.has_value(); }
    QString errorText() const { return error; }
    double duration() const { return timeline ? timeline->duration() : 0; }
    double time() const { return now; }
    QString timeText() const;
    void setTime(double seconds);
    bool playing() const { return ticker.isActive(); }
    double speed() const { return factor; }
    void setSpeed(double value);
    QStringList cycleTimes() const { return cycleLines; }
    QObject* events() { return &eventModel; }
    int eventCount() const { return eventModel.rowCount(); }
    QVariantList collisionBoxes() const { return boxes; }
    QVariantList collidingMeshes() const { return meshes; }
    QString nowRunning() const { return running_; }

    // Saves the state before the run, then runs the scenario (name or id;
    // empty: the active one, else every task) on another thread; false
    // (with errorText) when it cannot start.
    Q_INVOKABLE bool run(const QString& scenario = {});
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    // Back to the start.
    Q_INVOKABLE void stop();
    Q_INVOKABLE void step();
    // Goes to the time of the event in that row.
    Q_INVOKABLE void jumpToEvent(int row);
    // Puts back the state saved before the last run (one undo step) and
    // goes back to the start.
    Q_INVOKABLE bool restoreState();
    // Saves the station's state under a name (empty: "State N"), one undo
    // step: its id, or 0 (the reason in the status line).
    Q_INVOKABLE uint saveState(const QString& name);
    // Puts back the saved state of that id or name (one undo step) and
    // goes back to the start.
    Q_INVOKABLE bool restoreSavedState(const QString& idOrName);
    // The station's saved states: {id, name, autoSaved}.
    Q_INVOKABLE QVariantList states() const;

signals:
    void runningChanged();
    void resultChanged();
    void timeChanged();
    void playingChanged();
    void speedChanged();
    // A run ended (errorText says whether it failed).
    void finished();

private:
    struct Job;
    void finishRun(const std::shared_ptr<Job>& job);
    // Forgets the run (another station was opened): the view shows the
    // document's joints again, and a run under way is dropped when done.
    void clear();
    // The view shows the document's joints again (after an edit).
    void releaseView();
    void tick();
    // Shows the robots at the current time in the view.
    void show();

    StationSession& session;
    CellScene& scene;
    // Whether the view shows the run's joints (not the document's).
    bool shown = false;
    std::optional<cell::MotionTimeline> timeline;
    SimulationEventModel eventModel;
    QStringList cycleLines;
    QVariantList boxes;
    QVariantList meshes;
    QString running_;
    QString error;
    double now = 0;
    double factor = 1;
    QTimer ticker;
    QElapsedTimer clock;
    qint64 lastTick = 0;
    std::thread worker;
    // Counts clear(): a run started before the last one is not shown.
    unsigned generation = 0;
};

} // namespace zrv::core
