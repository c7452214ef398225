#include "SimulationPlayer.h"

#include "CellScene.h"
#include "StationSession.h"

#include "cell/MotionSimulation.h"

#include <sdformat/SDF.h>

#include <QtCore/QFileInfo>
#include <QtCore/QPointer>
#include <QtCore/QVariantMap>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>

namespace zrv::core {

namespace {

// The view's timer: about one frame of a 60 Hz display.
constexpr int kTickMs = 16;

// One line per task: the path and instruction moving at the time, else
// whether the task is yet to start, between moves or done.
QString RunningText(const cell::MotionTimeline& timeline, double time)
{
    QStringList lines;
    for (const cell::MotionTimeline::TaskTime& task : timeline.tasks()) {
        const QString name = QString::fromStdString(task.name);
        const cell::MotionTimeline::Span* now = nullptr;
        bool earlier = false;
        bool later = false;
        for (const cell::MotionTimeline::Span& span : timeline.spans()) {
            if (span.task != task.task)
                continue;
            if (time >= span.start && time <= span.end) {
                now = &span;
                break;
            }
            (span.end < time ? earlier : later) = true;
        }
        if (!now) {
            lines << (!earlier ? QObject::tr("%1: waiting").arg(name)
                      : later  ? QObject::tr("%1: between moves").arg(name)
                               : QObject::tr("%1: done").arg(name));
            continue;
        }
        QString path = QString::number(now->path);
        for (const cell::MotionTimeline::PathTime& p : timeline.paths())
            if (p.task == now->task && p.path == now->path)
                path = QString::fromStdString(p.name);
        lines << QObject::tr("%1: path %2, instruction %3").arg(name, path).arg(now->instruction);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

struct SimulationPlayer::Job
{
    // The run reads a copy, so that the window may edit the station meanwhile.
    std::shared_ptr<sdf::SDF> station;
    std::filesystem::path directory;
    std::string scenario;
    unsigned generation = 0;
    std::optional<cell::MotionTimeline> result;
    std::string failure;
};

SimulationPlayer::SimulationPlayer(StationSession& session, CellScene& scene, QObject* parent)
    : QObject(parent)
    , session(session)
    , scene(scene)
{
    ticker.setInterval(kTickMs);
    ticker.setTimerType(Qt::PreciseTimer);
    connect(&ticker, &QTimer::timeout, this, &SimulationPlayer::tick);
    connect(&session, &StationSession::opened, this, &SimulationPlayer::clear);
    // An edit (a jog, a joint typed, a target gone to, an undo) is shown as
    // made: playback pauses and the view leaves the run's joints until the
    // time is set or played again. The results stay.
    connect(&session, &StationSession::undoChanged, this, &SimulationPlayer::releaseView);
    // The station laid out anew (a restored state, a structure edit) has the
    // document's joints: while the run is shown, the view goes on showing it.
    connect(&scene, &CellScene::meshesChanged, this, [this] {
        if (timeline && shown)
            show();
    });
}

SimulationPlayer::~SimulationPlayer()
{
    // The run cannot be interrupted: the window waits for it.
    if (worker.joinable())
        worker.join();
}

QString SimulationPlayer::timeText() const
{
    return QStringLiteral("%1 s / %2 s").arg(now, 0, 'f', 3).arg(duration(), 0, 'f', 3);
}

bool SimulationPlayer::run(const QString& scenario)
{
    if (running()) {
        error = tr("a simulation is running already");
        emit resultChanged();
        return false;
    }
    pause();
    const auto root = session.stationRoot();
    if (!root) {
        error = tr("no station is open");
        emit resultChanged();
        return false;
    }
    // The state before the run, so that one click takes the run back.
    if (!session.saveStateBeforeRun()) {
        error = tr("the state before the run could not be saved: %1").arg(session.lastError());
        emit resultChanged();
        return false;
    }
    auto job = std::make_shared<Job>();
    job->station = sdf::SDF::ReadSdfFromString(session.stationRoot()->toXMLString(""));
    const QString file = session.filePath();
    job->directory = file.isEmpty() ? std::filesystem::path() : std::filesystem::path(QFileInfo(file).absolutePath().toStdU16String());
    job->scenario = scenario.toStdString();
    job->generation = generation;
    error.clear();
    worker = std::thread([this, job] {
        try {
            const cell::MotionSimulation simulation(job->station->Root(), job->directory);
            job->result = simulation.run(job->scenario);
        } catch (const std::exception& e) {
            job->failure = e.what();
        }
        // Posted to the player: dropped if it is gone by then.
        QMetaObject::invokeMethod(this, [this, job] { finishRun(job); }, Qt::QueuedConnection);
    });
    emit runningChanged();
    return true;
}

void SimulationPlayer::finishRun(const std::shared_ptr<Job>& job)
{
    worker.join();
    if (job->generation != generation) {
        emit runningChanged();
        return;
    }
    if (job->result) {
        timeline = std::move(job->result);
        cycleLines.clear();
        for (const auto& p : timeline->paths())
            cycleLines << tr("path %1: %2 s").arg(QString::fromStdString(p.name)).arg(p.cycleTime(), 0, 'f', 3);
        for (const auto& t : timeline->tasks())
            cycleLines << tr("task %1: %2 s").arg(QString::fromStdString(t.name)).arg(t.cycleTime, 0, 'f', 3);
        eventModel.show(timeline->events());
    } else {
        error = QString::fromStdString(job->failure);
    }
    now = 0;
    emit runningChanged();
    emit resultChanged();
    show();
    emit finished();
}

void SimulationPlayer::releaseView()
{
    if (!timeline || !shown)
        return;
    pause();
    shown = false;
    std::vector<std::pair<std::uint32_t, std::vector<double>>> none;
    for (std::size_t r = 0; r < timeline->robotCount(); ++r)
        none.emplace_back(timeline->robotId(r), std::vector<double>());
    scene.showJoints(none);
}

void SimulationPlayer::clear()
{
    ++generation;
    releaseView();
    pause();
    timeline.reset();
    cycleLines.clear();
    eventModel.show({});
    error.clear();
    now = 0;
    boxes.clear();
    meshes.clear();
    running_.clear();
    emit resultChanged();
    emit timeChanged();
}

void SimulationPlayer::setTime(double seconds)
{
    if (!timeline)
        return;
    now = std::clamp(seconds, 0.0, timeline->duration());
    show();
}

void SimulationPlayer::setSpeed(double value)
{
    value = std::clamp(value, 0.01, 100.0);
    if (value == factor)
        return;
    factor = value;
    emit speedChanged();
}

void SimulationPlayer::play()
{
    if (!timeline || playing())
        return;
    if (now >= timeline->duration())
        now = 0;
    clock.start();
    lastTick = 0;
    ticker.start();
    emit playingChanged();
}

void SimulationPlayer::pause()
{
    if (!playing())
        return;
    ticker.stop();
    emit playingChanged();
}

void SimulationPlayer::stop()
{
    pause();
    setTime(0);
}

void SimulationPlayer::step()
{
    pause();
    setTime(now + StepTime);
}

void SimulationPlayer::jumpToEvent(int row)
{
    if (row < 0 || row >= eventModel.rowCount())
        return;
    pause();
    setTime(eventModel.event(row).time);
}

bool SimulationPlayer::restoreState()
{
    // The view then shows the run's start, which is the state restored.
    stop();
    return session.restoreStateBeforeRun();
}

uint SimulationPlayer::saveState(const QString& name)
{
    return session.saveNamedState(name);
}

bool SimulationPlayer::restoreSavedState(const QString& idOrName)
{
    stop();
    return session.restoreNamedState(idOrName);
}

QVariantList SimulationPlayer::states() const
{
    return session.savedStates();
}

void SimulationPlayer::tick()
{
    const qint64 elapsed = clock.nsecsElapsed();
    now = std::min(now + (elapsed - lastTick) / 1e9 * factor, timeline->duration());
    lastTick = elapsed;
    show();
    if (now >= timeline->duration())
        pause();
}

void SimulationPlayer::show()
{
    boxes.clear();
    meshes.clear();
    running_ = timeline ? RunningText(*timeline, now) : QString();
    shown = timeline.has_value();
    if (timeline) {
        std::vector<std::pair<std::uint32_t, std::vector<double>>> joints;
        for (std::size_t r = 0; r < timeline->robotCount(); ++r)
            joints.emplace_back(timeline->robotId(r), timeline->jointsAt(r, now));
        scene.showJoints(joints);
        if (const cell::CellLayout* layout = scene.layout()) {
            for (const auto& [a, b] : timeline->collisionsAt(now)) {
                for (const std::uint32_t object : {a, b}) {
                    const cell::CellLayout::Item* item = layout->find(object);
                    // A mesh whose extent is not known yet would get a box
                    // that is not where it is drawn.
                    if (!item || item->hidden || item->shape == cell::CellLayout::Shape::None)
                        continue;
                    if (item->shape == cell::CellLayout::Shape::Mesh) {
                        if (!meshes.contains(object))
                            meshes.append(object);
                        continue;
                    }
                    boxes.append(QVariantMap{
                        {QStringLiteral("object"), object},
                        {QStringLiteral("position"), CellScene::ToVector(item->world.t)},
                        {QStringLiteral("rotation"), CellScene::ToQuaternion(item->world)},
                        {QStringLiteral("centre"), (CellScene::ToVector(item->boundsMin) + CellScene::ToVector(item->boundsMax)) / 2},
                        {QStringLiteral("size"), CellScene::ToVector(item->boundsMax) - CellScene::ToVector(item->boundsMin)}});
                }
            }
        }
    }
    emit timeChanged();
}

} // namespace zrv::core
