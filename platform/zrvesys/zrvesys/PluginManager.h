#pragma once

#include <zrvesys/Export.h>

#include <QtCore/QCommandLineOption>
#include <QtCore/QHash>
#include <QtCore/QList>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <QtCore/QStringList>

class QPluginLoader;

namespace zrv {

class IPlugin;

// Loads the application's plug-ins by name from the plug-in directories.
//
// A plug-in "Name" is the Qt plug-in file "Name" or "libName" (with the
// platform's library suffix) in one of the directories. Its metadata must
// carry the interface identifier set with SetIID and may name the plug-ins
// it depends on ("Depends": [...]); those are loaded and initialised first.
// Problems (a missing file, another identifier, a file that does not load,
// a dependency cycle) are reported as Qt warnings, which the host also
// logs, and skip the plug-in concerned; they are never fatal. Used from the
// main thread only.
//
// The metadata may also declare the command-line options the plug-in reads,
// so that the host can list them in its help and check their values before
// any plug-in runs:
//   { "Depends": [ "Core" ],
//     "Options": [ { "names": [ "g", "greeting" ], "valueName": "text",
//                    "description": "Greet with <text>", "defaultValue": "" } ] }
// An option without "valueName" is a switch.
class ZRVESYS_EXPORT PluginManager : public QObject
{
    Q_OBJECT

public:
    // Application-wide settings that must be made before the application
    // object exists: names used for settings and data locations, and the
    // shared OpenGL contexts that Qt Quick needs when windows come and go.
    static void ConfigApplication();

    static void SetIID(const QString& iid);
    static void SetPluginPaths(const QList<QString>& paths);
    // Loads and initialises the plug-in and what it depends on. A plug-in
    // that is already loaded is not loaded again.
    static void LoadPlugin(QString name);

    static PluginManager* inst();

    // The options declared in the metadata of the plug-in "name" and of the
    // plug-ins it depends on, found in these directories; reads metadata
    // only and needs no application object. Plug-ins that are missing or
    // made for another interface identifier declare nothing.
    static QList<QCommandLineOption> DeclaredOptions(const QStringList& paths, const QString& iid,
                                                     const QString& name);

    QString iid() const { return interfaceId; }
    QStringList pluginPaths() const { return paths; }
    // Names of the initialised plug-ins, in order of initialisation.
    QStringList loadedPlugins() const;

public slots:
    // Shuts the plug-ins down in reverse order of initialisation. Only the
    // first call does anything; plug-ins loaded later are not shut down.
    void shutdown();

signals:
    void pluginLoaded(const QString& name);

private:
    struct Loaded
    {
        QString name;
        IPlugin* plugin;
    };

    PluginManager();
    ~PluginManager() override;

    bool load(const QString& name, QStringList& chain);
    QString locate(const QString& name) const;
    static QString locateIn(const QStringList& paths, const QString& name);
    void report(const QString& message) const;

    QString interfaceId;
    QStringList paths;
    QList<Loaded> loaded;
    QStringList failed;
    bool shutDown = false;
};

} // namespace zrv
