#pragma once

#include <zrvesys/Export.h>

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
// a dependency cycle) are logged and skip the plug-in concerned; they are
// never fatal. Used from the main thread only.
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
    void report(const QString& message) const;

    QString interfaceId;
    QStringList paths;
    QList<Loaded> loaded;
    QStringList failed;
    bool shutDown = false;
};

} // namespace zrv
