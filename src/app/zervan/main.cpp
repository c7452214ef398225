// zervan: the application's host. It prepares the process, registers the
// shared command-line options, creates the application and its QML engine,
// hands them to the plug-ins and returns their exit code. Everything the user
// sees comes from the plug-ins, the first of which is "Core".

#include "CommandLine.h"
#include "ExitCode.h"
#include "InterruptHandler.h"
#include "MessageLog.h"
#include "ObjectHook.h"
#include "SharedOptions.h"

#include <zrvcommon/AppLogger.h>
#include <zrvesys/CommandLineParser.h>
#include <zrvesys/IPlugin.h>
#include <zrvesys/PluginManager.h>

#include <fmt/format.h>

#include <QtCore/QStringList>
#include <QtGui/QGuiApplication>
#include <QtQml/QQmlApplicationEngine>

#include <backward.hpp>

#include <cfenv>
#include <csignal>
#include <cstdio>
#include <optional>

#ifdef _WIN32
#include <float.h>
#include <stdlib.h>
#endif

int main(int argc, char** argv)
{
    // Every thread starts rounding to nearest; plug-ins and the libraries
    // they load must not inherit another mode from the loader.
#ifdef _WIN32
    unsigned int currentControl = 0;
    _controlfp_s(&currentControl, _RC_NEAR, _MCW_RC);
    _set_error_mode(_OUT_TO_MSGBOX);
#else
    std::fesetround(FE_TONEAREST);
#endif

    zrv::InterruptHandler::install();

    // A fatal signal prints the stack trace to standard error; the handler
    // outlives everything below so that faults while tearing down are
    // reported too. It runs on a stack of its own, on every thread
    // (ThreadSignalStack), so that a stack overflow is reported as well.
    backward::SignalHandling crashHandler;
#ifndef _WIN32
    // Past the file-size limit a write fails with an error, which its
    // caller reports; the signal's default would end the process instead.
    std::signal(SIGXFSZ, SIG_IGN);
#endif

    zrv::PluginManager::ConfigApplication();
    zrv::CommandLineParser::AddOptions(zrv::sharedOptions());
    zrv::CommandLineParser::AddOptions(zrv::hostOptions());
    zrv::installMessageLog();

    // Help, the version and wrong option values are answered before any
    // window exists, with the options that the plug-ins to be started
    // declare in their metadata (no plug-in code runs for that).
    const zrv::CommandLine commandLine(argc, argv);
    QStringList pluginDirs{zrv::executableDirectory(argc > 0 ? argv[0] : nullptr) + QStringLiteral("/plugins")};
    pluginDirs += commandLine.extraPluginDirectories();
    const QString startPlugin = commandLine.startPlugin();
    for (const QCommandLineOption& option :
         zrv::PluginManager::DeclaredOptions(pluginDirs, QStringLiteral(ZRV_PLUGIN_IID), startPlugin))
        zrv::CommandLineParser::AddOptions({option});
    if (const std::optional<int> code = commandLine.earlyExit(stdout, stderr))
        return *code;

    // Qt removes its own options (such as "-platform offscreen") from
    // argc/argv here; everything below sees what is left.
    QGuiApplication app(argc, argv);
    zrv::InterruptHandler interrupts;

    zrv::AppLogger::inst()->info(fmt::format("{}", QGuiApplication::platformName().toStdString()));

    QQmlApplicationEngine engine;

    zrv::ObjectHook::CheckMode(&app, argc, argv);

    app.setProperty("qmlengine", QVariant::fromValue(&engine));

    zrv::PluginManager::SetIID(QStringLiteral(ZRV_PLUGIN_IID));
    // The same directories whose metadata gave the declared options: beside
    // the executable (never relative to the working directory), then --plugin-dir.
    zrv::PluginManager::SetPluginPaths(pluginDirs);
    zrv::PluginManager::LoadPlugin(startPlugin);

    // Tolerated, since a plug-in may read them straight from the arguments,
    // but said once.
    const QStringList unknown = zrv::CommandLineParser::unknownOptionNames();
    if (!unknown.isEmpty())
        zrv::AppLogger::inst()->warning(fmt::format("options nobody registered, left as they are: {}",
                                                    zrv::describeOptions(unknown).toStdString()));

    QObject::connect(&app, &QCoreApplication::aboutToQuit, zrv::PluginManager::inst(),
                     &zrv::PluginManager::shutdown);

    const int loopResult = app.exec();

    const QVariant forcedExitCode = app.property("_zrv_exit_code");
    return zrv::exitCode(forcedExitCode, loopResult);
}
