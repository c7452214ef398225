// The "Core" plug-in of the executable's tests. It reports on standard
// output what a plug-in finds at start-up and acts as the environment
// variable ZRV_TEST_ACTION asks:
//   quit (default)  set "_zrv_exit_code" from ZRV_TEST_EXIT_PROPERTY
//                   ("int:<n>" or "str:<text>"; absent: not set) and end
//                   the event loop with ZRV_TEST_LOOP_RESULT (default 0)
//   wait            print "ready" once the event loop runs, then wait
//   block           print "ready" once the event loop runs, then keep the
//                   main thread busy for ten minutes
//   crash           crash in crashOnRequest() once the event loop runs
//   overflow        overflow the stack of a thread of its own in
//                   overflowOnRequest() once the event loop runs
//   qml             try importing the module "zervan.fake", then quit
//   findwindow      show a window with a QML id and look it up through the
//                   hook, then quit
//   warn            make Qt and QML warn, then quit
#include <zrvesys/CommandLineParser.h>
#include <zrvesys/IPlugin.h>
#include <zrvesys/PluginManager.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QFile>
#include <QtCore/QTimer>
#include <QtCore/private/qhooks_p.h>
#include <QtGui/QGuiApplication>
#include <QtQml/QQmlApplicationEngine>
#include <QtQml/QQmlComponent>
#include <QtQuick/QQuickWindow>

#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <thread>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

QQmlApplicationEngine* engine()
{
    return qvariant_cast<QQmlApplicationEngine*>(qApp->property("qmlengine"));
}

QObject* hook()
{
    return qvariant_cast<QObject*>(qApp->property("zrvhook"));
}

} // namespace

// Kept out of line and uninstrumented, so that the crash is a plain fault
// in a frame of this name.
__attribute__((noinline, no_sanitize("address", "undefined"))) void crashOnRequest()
{
    volatile int* volatile nowhere = nullptr;
    *nowhere = 42;
}

// Recurses until the thread's stack runs out (the bound is never met; it
// only keeps the compiler from calling the recursion endless).
volatile int overflowBound = INT_MAX;
__attribute__((noinline, no_sanitize("address", "undefined"))) int overflowOnRequest(int depth)
{
    volatile char frame[256];
    frame[0] = static_cast<char>(depth);
    if (depth == overflowBound)
        return frame[0];
    return overflowOnRequest(depth + 1) + frame[0];
}

class TestCore : public QObject, public zrv::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZRV_PLUGIN_IID FILE "Core.json")
    Q_INTERFACES(zrv::IPlugin)

public:
    void initialize() override
    {
        say(QStringLiteral("init Core"));
        say(QStringLiteral("engine=%1").arg(engine() != nullptr));
        say(QStringLiteral("hook=%1").arg(hook() ? QString::fromLatin1(hook()->metaObject()->className())
                                                 : QStringLiteral("none")));
        say(QStringLiteral("hookproperty=%1").arg(qApp->dynamicPropertyNames().contains("zrvhook")));
        say(QStringLiteral("hooktable=%1,%2")
                .arg(qtHookData[QHooks::AddQObject] != 0)
                .arg(qtHookData[QHooks::RemoveQObject] != 0));
        say(QStringLiteral("args=%1").arg(QCoreApplication::arguments().mid(1).join(QLatin1Char('|'))));
        say(QStringLiteral("assist=%1").arg(zrv::CommandLineParser::value(QStringLiteral("assist"))));
        say(QStringLiteral("size=%1").arg(zrv::CommandLineParser::value(QStringLiteral("s"))));
        say(QStringLiteral("gamma=%1").arg(zrv::CommandLineParser::value(QStringLiteral("gamma"))));
        say(QStringLiteral("options=%1").arg(zrv::CommandLineParser::registeredNames().join(QLatin1Char(','))));
        say(QStringLiteral("plugins=%1").arg(zrv::PluginManager::inst()->pluginPaths().join(QLatin1Char(','))));
        say(QStringLiteral("platform=%1").arg(QGuiApplication::platformName()));

        const QString action = env("ZRV_TEST_ACTION");
        if (action == QLatin1String("wait"))
            QTimer::singleShot(0, [] { say(QStringLiteral("ready")); });
        else if (action == QLatin1String("block"))
            QTimer::singleShot(0, [] {
                say(QStringLiteral("ready"));
                std::this_thread::sleep_for(std::chrono::minutes(10));
            });
        else if (action == QLatin1String("crash"))
            QTimer::singleShot(0, [] { crashOnRequest(); });
        else if (action == QLatin1String("overflow"))
            QTimer::singleShot(0, [] { std::thread([] { overflowOnRequest(0); }).join(); });
        else if (action == QLatin1String("qml"))
            QTimer::singleShot(0, [] { tryImports(); QCoreApplication::exit(0); });
        else if (action == QLatin1String("findwindow"))
            findWindowThroughHook();
        else if (action == QLatin1String("warn"))
            QTimer::singleShot(0, [] { warn(); QCoreApplication::exit(0); });
        else
            quitAsAsked();
    }

    void shutdown() override
    {
        say(QStringLiteral("shutdown Core"));
        window.reset();
    }

private:
    static void quitAsAsked()
    {
        const QString property = env("ZRV_TEST_EXIT_PROPERTY");
        if (property.startsWith(QLatin1String("int:")))
            qApp->setProperty("_zrv_exit_code", property.mid(4).toInt());
        else if (property.startsWith(QLatin1String("str:")))
            qApp->setProperty("_zrv_exit_code", property.mid(4));
        const int loopResult = env("ZRV_TEST_LOOP_RESULT").toInt();
        QTimer::singleShot(0, [loopResult] { QCoreApplication::exit(loopResult); });
    }

    static void warn()
    {
        qWarning("a warning from plug-in %s", "Core");
        QQmlComponent component(engine());
        component.setData("import QtQuick\nItem { property string label: undefined }\n", QUrl(QStringLiteral("file:///warn.qml")));
        std::unique_ptr<QObject> object(component.create());
    }

    static void tryImports()
    {
        const char* const versions[] = {"254.254", "254.0", "1.0"};
        for (const char* version : versions) {
            QQmlComponent component(engine());
            component.setData(QByteArray("import zervan.fake ") + version + "\nimport QtQml\nQtObject {}\n", QUrl());
            std::unique_ptr<QObject> object(component.create());
            say(QStringLiteral("import %1=%2").arg(QLatin1String(version), object ? QStringLiteral("ok") : QStringLiteral("failed")));
        }
        QFile qmldir(QStringLiteral(":/zervan/fake/qmldir"));
        say(QStringLiteral("qmldir=%1").arg(qmldir.open(QIODevice::ReadOnly)
                                                ? QString::fromUtf8(qmldir.readAll().toPercentEncoding())
                                                : QStringLiteral("missing")));
        QFile fake(QStringLiteral(":/Fake.qml"));
        say(QStringLiteral("fakeimports=%1").arg(fake.open(QIODevice::ReadOnly) ? fake.readAll().count("\nimport ") + 1 : -1));
    }

    void findWindowThroughHook()
    {
        QQmlComponent component(engine());
        component.setData("import QtQuick\nWindow { id: mainWindow; width: 100; height: 100; visible: true }\n", QUrl());
        window.reset(component.create());
        // The hook announces the window on the next turn of the event loop.
        QTimer::singleShot(0, [this] {
            QQuickWindow* found = nullptr;
            QMetaObject::invokeMethod(hook(), "findWindow", Q_RETURN_ARG(QQuickWindow*, found),
                                      Q_ARG(QString, QStringLiteral("mainWindow")));
            say(QStringLiteral("found=%1").arg(found && found == window.get()));
            QCoreApplication::exit(0);
        });
    }

    std::unique_ptr<QObject> window;
};

#include "TestCore.moc"
