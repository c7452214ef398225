#pragma once

// The application's first plug-in, "Core": a station browser. It opens the
// station named by the first positional argument (the bundled sample
// station when there is none) in a Qt Quick window on the application's QML
// engine. With "--gamma SCRIPT.json" it then runs the script against that
// window and quits with the number of failed steps as exit code.

#include "CommandKeys.h"

#include <zrvesys/IPlugin.h>

#include <QtCore/QObject>
#include <QtCore/QString>

#include <memory>

class QQmlEngine;
class QQuickWindow;

namespace zrv::core {

class ScriptRunner;
class StationSession;

class CorePlugin : public QObject, public zrv::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZRV_PLUGIN_IID FILE "Core.json")
    Q_INTERFACES(zrv::IPlugin)

public:
    CorePlugin();
    ~CorePlugin() override;

    void initialize() override;
    void shutdown() override;

    // The sample station: beside the installed executable, else in the
    // source tree the plug-in was built from. The first candidate when
    // neither exists, so that reading it reports the missing file.
    static QString SampleStation();

private:
    bool openWindow(QQmlEngine* engine);
    // Ends the application at once with the exit code (test mode).
    static void quitWith(int exitCode);

    CommandKeys commandKeys;
    std::unique_ptr<StationSession> session;
    std::unique_ptr<QQuickWindow> window;
    std::unique_ptr<ScriptRunner> runner;
};

} // namespace zrv::core
