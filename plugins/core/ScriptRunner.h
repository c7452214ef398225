#pragma once

// Runs an automation script (the value of "--gamma") against the plug-in's
// own window: it finds windows and items through the application's object
// hook by QML id, acts on them as a user would and checks what they show.
// One line per step goes to standard output, "PASS" or "FAIL" with the
// reason; at the end, finished() carries the number of failed steps.
//
// The script is a JSON object {"steps": [...]} (or just the array); each
// step is an object with an "action" and its arguments. The README lists
// the actions. Items are looked up afresh by every step, and a step whose
// item is not there yet tries again until its "timeout" (milliseconds,
// default 5000) has passed, since views create their rows when they lay
// them out.

#include <QtCore/QElapsedTimer>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtCore/QString>

#include <functional>
#include <vector>

class QQuickItem;
class QQuickWindow;

namespace zrv::core {

class StationSession;

class ScriptRunner : public QObject
{
    Q_OBJECT

public:
    ScriptRunner(QObject* hook, StationSession* session, QString scriptPath, QObject* parent = nullptr);
    // Destroyed before the script ended, it prints how far it got.
    ~ScriptRunner() override;

    // The exit code of a run that did not get to its end.
    static constexpr int InterruptedExitCode = 130;

    // Reads the script and starts it on the next turn of the event loop.
    // From now until finished() the application's exit code is
    // InterruptedExitCode.
    void start();
    int failures() const { return failed; }

signals:
    void finished(int failedSteps);

public:
    // What one attempt at a phase of a step came to.
    struct Outcome
    {
        enum Kind
        {
            Pass,
            Fail,
            // Not yet: try again until the step's time is up.
            Retry,
        };
        Kind kind;
        QString detail;
    };

private:
    using Phase = std::function<Outcome()>;
    struct Step
    {
        QString title;
        std::vector<Phase> phases;
        int timeoutMs = 5000;
    };

    void loadScript();
    Step compile(const QJsonObject& step, int defaultTimeout);
    void runCurrent();
    void report(bool pass, const QString& detail);
    void finish();

    // Lookups through the hook.
    QQuickWindow* window();
    QQuickItem* item(const QString& id, const QString& name);
    // The text of the selected object's field as the document stores it, in
    // the unit the field shows ("" when there is no such field).
    QString storedText(const QString& fieldPath) const;
    // The item, or the window when the id names the window.
    QObject* target(const QString& id, const QString& name);

    Phase findPhase(QString id, QString name);
    Phase checkPhase(QString id, QString name, QString property, QJsonObject expectation);
    Phase setPhase(QString id, QString name, QString property, QJsonValue value);
    Phase clickPhase(QString id, QString name);
    Phase keyPhase(QString id, QString name, QString key);
    std::vector<Phase> selectPhases(QJsonObject step);
    std::vector<Phase> editPhases(QString path, QString value, QJsonValue expected);
    // With confirm, a question whether to write value texts as read is
    // answered yes; without, the step fails with it.
    std::vector<Phase> savePhases(QString path, bool confirm);
    Phase openPhase(QString path);
    Phase screenshotPhase(QString path);
    // The 3D view (ScriptRunnerView.cpp).
    Phase pickPhase(QJsonObject step);
    // what: "all", "selection", "top", "front", "side" or "isometric"; a
    // view point id > 0 looks from that view point instead.
    Phase fitPhase(QString what, int viewPoint);
    // Faces and edges picked in the 3D view (ScriptRunnerView.cpp).
    static bool IsPickAction(const QString& action);
    static QString pickTitle(const QString& action, const QJsonObject& step);
    Phase edgePickPhase(QString action, QJsonObject step);
    // Structure edits (ScriptRunnerStructure.cpp).
    static bool IsStructureAction(const QString& action);
    Phase structurePhase(QString action, QJsonObject step);
    // The robot (ScriptRunnerRobot.cpp).
    static bool IsRobotAction(const QString& action);
    static QString robotTitle(const QString& action, const QJsonObject& step);
    Phase robotPhase(QString action, QJsonObject step);
    // What the 3D view shows, and the label by the pointer
    // (ScriptRunnerShow.cpp).
    static bool IsShowAction(const QString& action);
    static QString showTitle(const QString& action, const QJsonObject& step);
    Phase showPhase(QJsonObject step);
    std::vector<Phase> hoverPhases(QJsonObject step);
    // A drag of the 3D view's move handle (ScriptRunnerHandle.cpp).
    static QString dragTitle(const QJsonObject& step);
    Phase dragPhase(QJsonObject step);
    // The motion simulation (ScriptRunnerSimulation.cpp).
    std::vector<Phase> simulatePhases(QJsonObject step);
    // Saves the station's state under a name, or restores a saved one.
    Phase statePhase(QJsonObject step);
    // Measuring in the 3D view (ScriptRunnerMeasure.cpp).
    std::vector<Phase> measurePhases(QJsonObject step);
    // A tree row dragged onto another (ScriptRunnerTreeDrag.cpp).
    std::vector<Phase> dragRowPhases(QJsonObject step);

    QPointer<QObject> hook;
    QPointer<StationSession> session;
    QString scriptPath;
    QString windowId = QStringLiteral("mainWindow");
    std::vector<Step> steps;
    std::size_t stepIndex = 0;
    std::size_t phaseIndex = 0;
    QElapsedTimer stepTimer;
    int failed = 0;
    bool unreadable = false;
    bool done = false;
};

} // namespace zrv::core
