#include "HelloPlugin.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <zrvcommon/AppLogger.h>
#include <zrvesys/CommandLineParser.h>

#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtQuick/QQuickWindow>

#include <cstdio>
#include <exception>

namespace {

// Objects are the elements that carry an id.
int CountObjects(const sdf::Element& element)
{
    int count = element.getId(false) != 0 ? 1 : 0;
    for (const auto& child : element.elements())
        count += CountObjects(*child);
    return count;
}

void Say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Quits once the event loop runs; a non-zero code overrides the loop's.
void QuitWith(int exitCode)
{
    if (exitCode != 0)
        qApp->setProperty("_zrv_exit_code", exitCode);
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

} // namespace

HelloPlugin::HelloPlugin() = default;
HelloPlugin::~HelloPlugin() = default;

void HelloPlugin::initialize()
{
    // The engine belongs to zervan; the window made here belongs to us.
    auto* engine = qobject_cast<QQmlEngine*>(qvariant_cast<QObject*>(qApp->property("qmlengine")));
    if (!engine) {
        zrv::AppLogger::inst()->error("Hello: no QML engine");
        QuitWith(1);
        return;
    }

    const QString station = zrv::CommandLineParser::positionalArguments().value(0);
    int objects = 0;
    QString problem;
    if (station.isEmpty()) {
        problem = QStringLiteral("no station given");
    } else {
        try {
            const auto document = sdf::SDF::ReadSdfFromFile(station.toStdString());
            objects = CountObjects(*document->Root());
        } catch (const std::exception& e) {
            problem = QString::fromStdString(e.what());
        }
    }
    if (problem.isEmpty()) {
        Say(QStringLiteral("Hello: %1: %2 objects").arg(station).arg(objects));
        zrv::AppLogger::inst()->info("Hello: read " + station.toStdString());
    } else {
        Say(QStringLiteral("Hello: %1: %2").arg(station, problem));
        zrv::AppLogger::inst()->error("Hello: " + problem.toStdString());
        // Shown in the window, and the exit code says so once it is closed.
        qApp->setProperty("_zrv_exit_code", 3);
    }

    QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/hello/Hello.qml")));
    QObject* root = component.createWithInitialProperties(
        {{QStringLiteral("station"), station}, {QStringLiteral("objectCount"), objects}, {QStringLiteral("problem"), problem}});
    window.reset(qobject_cast<QQuickWindow*>(root));
    if (!window) {
        delete root;
        zrv::AppLogger::inst()->error("Hello: no window: " + component.errorString().toStdString());
        QuitWith(1);
        return;
    }
    QQmlEngine::setObjectOwnership(window.get(), QQmlEngine::CppOwnership);

    // Our own option, declared in Hello.json so that zervan lists it in its
    // help; its value is ours to check.
    const QString quitAfter = zrv::CommandLineParser::value(QStringLiteral("hello-quit-after"));
    if (!quitAfter.isEmpty()) {
        bool ok = false;
        const int ms = quitAfter.toInt(&ok);
        if (!ok || ms < 0) {
            std::fprintf(stderr, "Hello: --hello-quit-after takes milliseconds, not \"%s\"\n", qPrintable(quitAfter));
            QuitWith(2);
            return;
        }
        QTimer::singleShot(ms, window.get(), [this] {
            // What a user would have seen.
            const QObject* count = window->findChild<QObject*>(QStringLiteral("objectCountLabel"));
            Say(QStringLiteral("Hello window shows: %1").arg(count ? count->property("text").toString() : QString()));
            window->close();
        });
    }
}

void HelloPlugin::shutdown()
{
    // Called while the QML engine still exists: the window goes first.
    window.reset();
}
