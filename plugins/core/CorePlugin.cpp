#include "CorePlugin.h"

#include "CellScene.h"
#include "MeasureTool.h"
#include "MeshGeometry.h"
#include "PathGeometry.h"
#include "OperationEdgeGeometry.h"
#include "PickHighlightGeometry.h"
#include "SceneInstancing.h"
#include "ScriptRunner.h"
#include "GridGeometry.h"
#include "HandleGeometry.h"
#include "TriadGeometry.h"
#include "StationSession.h"

#include <zrvcommon/AppLogger.h>
#include <zrvesys/CommandLineParser.h>

#include <fmt/format.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QOffscreenSurface>
#include <QtGui/QOpenGLContext>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtQuick/QQuickWindow>
#include <QtQuick/QSGRendererInterface>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace zrv::core {

namespace {

void complain(const std::string& text)
{
    zrv::AppLogger::inst()->error(text);
    std::fprintf(stderr, "Core: %s\n", text.c_str());
    std::fflush(stderr);
}

// "<width>x<height>" with both positive; anything else is no size.
bool ParseSize(const QString& text, int& width, int& height)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    const int w = match.captured(1).toInt();
    const int h = match.captured(2).toInt();
    if (w <= 0 || h <= 0)
        return false;
    width = w;
    height = h;
    return true;
}

// Whether the 3D view can draw here. Qt's offscreen and minimal platforms
// draw no 3D content; elsewhere it takes an OpenGL context. Without one the
// window is drawn by Qt Quick's software renderer, so that it still works,
// and the view shows a notice instead.
bool PrepareThreeD()
{
    const QString platform = QGuiApplication::platformName();
    bool usable = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    if (QQuickWindow::graphicsApi() == QSGRendererInterface::Software)
        usable = false;
    if (usable) {
        QOpenGLContext context;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        usable = context.create() && surface.isValid() && context.makeCurrent(&surface);
        if (usable)
            context.doneCurrent();
        if (!usable) {
            zrv::AppLogger::inst()->warning("no OpenGL: the 3D view of the cell is not shown");
            QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
        }
    }
    return usable;
}

} // namespace

CorePlugin::CorePlugin() = default;
CorePlugin::~CorePlugin() = default;

QString CorePlugin::SampleStation()
{
    const QString installed =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral(ZRV_SAMPLE_STATION_FROM_BIN));
    const QStringList candidates{QDir::cleanPath(installed), QStringLiteral(ZRV_SAMPLE_STATION_SOURCE)};
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return candidates.front();
}

void CorePlugin::initialize()
{
    const QString script = zrv::CommandLineParser::value(QStringLiteral("gamma"));
    auto* engine = qobject_cast<QQmlEngine*>(qvariant_cast<QObject*>(qApp->property("qmlengine")));
    if (!engine) {
        complain("no QML engine in the application property \"qmlengine\"; nothing to show");
        quitWith(1);
        return;
    }

    const QStringList positional = zrv::CommandLineParser::positionalArguments();
    session = std::make_unique<StationSession>();
    if (positional.isEmpty()) {
        // The bundled sample is not saved over unless the user says where.
        session->open(SampleStation(), QString());
    } else {
        const QString file = QFileInfo(positional.front()).absoluteFilePath();
        session->open(file, file);
    }

    if (!openWindow(engine)) {
        quitWith(1);
        return;
    }

    if (!script.isEmpty()) {
        QObject* hook = qvariant_cast<QObject*>(qApp->property("zrvhook"));
        runner = std::make_unique<ScriptRunner>(hook, session.get(), script);
        connect(runner.get(), &ScriptRunner::finished, this, [](int failed) { quitWith(std::min(failed, 255)); });
        // Scripts start on the station as read, not on the window waiting
        // for it.
        if (!session->loading()) {
            runner->start();
        } else {
            auto started = std::make_shared<QMetaObject::Connection>();
            *started = connect(session.get(), &StationSession::loadingChanged, this, [this, started] {
                if (session->loading())
                    return;
                QObject::disconnect(*started);
                runner->start();
            });
        }
    }
}

bool CorePlugin::openWindow(QQmlEngine* engine)
{
    CellScene::setRenderable(PrepareThreeD());
    qmlRegisterType<SceneInstancing>("Zervan.Cell", 1, 0, "SceneInstancing");
    qmlRegisterType<PathGeometry>("Zervan.Cell", 1, 0, "PathGeometry");
    qmlRegisterType<TriadGeometry>("Zervan.Cell", 1, 0, "TriadGeometry");
    qmlRegisterType<GridGeometry>("Zervan.Cell", 1, 0, "GridGeometry");
    qmlRegisterType<HandleGeometry>("Zervan.Cell", 1, 0, "HandleGeometry");
    qmlRegisterType<MeshGeometry>("Zervan.Cell", 1, 0, "MeshGeometry");
    qmlRegisterType<PickHighlightGeometry>("Zervan.Cell", 1, 0, "PickHighlightGeometry");
    qmlRegisterType<MeasureTool>("Zervan.Cell", 1, 0, "MeasureTool");
    qmlRegisterType<OperationEdgeGeometry>("Zervan.Cell", 1, 0, "OperationEdgeGeometry");
    QVariantMap properties{{QStringLiteral("station"), QVariant::fromValue<QObject*>(session.get())},
                           {QStringLiteral("commandKeys"), QVariant::fromValue<QObject*>(&commandKeys)}};
    const QString size = zrv::CommandLineParser::value(QStringLiteral("size"));
    int width = 0;
    int height = 0;
    if (ParseSize(size, width, height)) {
        properties.insert(QStringLiteral("initialWidth"), width);
        properties.insert(QStringLiteral("initialHeight"), height);
    } else if (!size.isEmpty()) {
        zrv::AppLogger::inst()->warning(
            fmt::format("window size \"{}\" is not <width>x<height>; the default size is used", size.toStdString()));
    }

    QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/zervan/core/Main.qml")));
    QObject* root = component.createWithInitialProperties(properties);
    if (!root) {
        complain(fmt::format("the station window could not be created: {}", component.errorString().toStdString()));
        return false;
    }
    window.reset(qobject_cast<QQuickWindow*>(root));
    if (!window) {
        delete root;
        complain("the station window's QML does not make a window");
        return false;
    }
    QQmlEngine::setObjectOwnership(window.get(), QQmlEngine::CppOwnership);
    return true;
}

void CorePlugin::shutdown()
{
    runner.reset();
    // The window's bindings read the session: the window goes first.
    window.reset();
    session.reset();
}

void CorePlugin::quitWith(int exitCode)
{
    // Also 0: a script that ran to its end replaces its "not finished" code.
    qApp->setProperty("_zrv_exit_code", exitCode);
    // Initialisation runs before the event loop: quit once it is running.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
}

} // namespace zrv::core
