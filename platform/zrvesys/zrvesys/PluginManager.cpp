#include <zrvesys/PluginManager.h>

#include <zrvesys/IPlugin.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonObject>
#include <QtCore/QLibrary>
#include <QtCore/QPluginLoader>

namespace zrv {

PluginManager::PluginManager() = default;
PluginManager::~PluginManager() = default;

void PluginManager::ConfigApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zervan"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("zervan.com"));
    QCoreApplication::setApplicationName(QStringLiteral("zervan"));
    QCoreApplication::setApplicationVersion(QStringLiteral("26.6.0"));
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

PluginManager* PluginManager::inst()
{
    // Immortal: plug-in objects may refer to the manager until the process
    // ends, and a QObject must not outlive the thread data it belongs to.
    static PluginManager* const manager = new PluginManager;
    return manager;
}

void PluginManager::SetIID(const QString& iid)
{
    inst()->interfaceId = iid;
}

void PluginManager::SetPluginPaths(const QList<QString>& paths)
{
    inst()->paths = paths;
}

void PluginManager::LoadPlugin(QString name)
{
    QStringList chain;
    inst()->load(name, chain);
}

QStringList PluginManager::loadedPlugins() const
{
    QStringList names;
    for (const Loaded& entry : loaded)
        names += entry.name;
    return names;
}

void PluginManager::shutdown()
{
    if (shutDown)
        return;
    shutDown = true;
    for (auto it = loaded.crbegin(); it != loaded.crend(); ++it)
        it->plugin->shutdown();
}

QString PluginManager::locate(const QString& name) const
{
    return locateIn(paths, name);
}

bool PluginManager::load(const QString& name, QStringList& chain)
{
    for (const Loaded& entry : loaded) {
        if (entry.name == name)
            return true;
    }
    if (failed.contains(name))
        return false;
    if (chain.contains(name)) {
        report(QStringLiteral("plug-in \"%1\" depends on itself through %2")
                   .arg(name, chain.join(QStringLiteral(" -> "))));
        return false;
    }

    const QString file = locate(name);
    if (file.isEmpty()) {
        report(QStringLiteral("plug-in \"%1\" not found in %2")
                   .arg(name, paths.join(QStringLiteral(", "))));
        failed += name;
        return false;
    }

    // Metadata is read without loading the library, so a plug-in of another
    // kind never runs any code here.
    auto loader = new QPluginLoader(file, this);
    const QJsonObject meta = loader->metaData();
    const QString pluginIid = meta.value(QStringLiteral("IID")).toString();
    if (pluginIid != interfaceId) {
        report(QStringLiteral("plug-in \"%1\" (%2) has interface \"%3\", expected \"%4\"")
                   .arg(name, file, pluginIid, interfaceId));
        delete loader;
        failed += name;
        return false;
    }

    chain += name;
    const QJsonArray depends =
        meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Depends")).toArray();
    for (const QJsonValue& dependency : depends) {
        const QString dependencyName = dependency.toString();
        if (!load(dependencyName, chain)) {
            report(QStringLiteral("plug-in \"%1\" not loaded: it needs \"%2\"").arg(name, dependencyName));
            chain.removeLast();
            delete loader;
            failed += name;
            return false;
        }
    }
    chain.removeLast();

    QObject* instance = loader->instance();
    auto plugin = qobject_cast<IPlugin*>(instance);
    if (!plugin) {
        report(instance ? QStringLiteral("plug-in \"%1\" (%2) does not implement zrv::IPlugin").arg(name, file)
                        : QStringLiteral("plug-in \"%1\" (%2) cannot be loaded: %3")
                              .arg(name, file, loader->errorString()));
        delete loader;
        failed += name;
        return false;
    }

    loaded += Loaded{name, plugin};
    plugin->initialize();
    emit pluginLoaded(name);
    return true;
}

void PluginManager::report(const QString& message) const
{
    // The host sends Qt's messages to the log as well as to standard error.
    qWarning("%s", qPrintable(message));
}

QString PluginManager::locateIn(const QStringList& paths, const QString& name)
{
    for (const QString& path : paths) {
        const QDir dir(path);
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        for (const QString& file : files) {
            if (!QLibrary::isLibrary(file))
                continue;
            QString base = file.left(file.indexOf(QLatin1Char('.')));
            if (base == name || base == QStringLiteral("lib") + name)
                return dir.absoluteFilePath(file);
        }
    }
    return {};
}

QList<QCommandLineOption> PluginManager::DeclaredOptions(const QStringList& paths, const QString& iid,
                                                         const QString& name)
{
    QList<QCommandLineOption> options;
    QStringList pending{name};
    QStringList seen;
    while (!pending.isEmpty()) {
        const QString next = pending.takeFirst();
        if (seen.contains(next))
            continue;
        seen += next;
        const QString file = locateIn(paths, next);
        if (file.isEmpty())
            continue;
        // Only the metadata: no code of the plug-in runs.
        const QJsonObject meta = QPluginLoader(file).metaData();
        if (meta.value(QStringLiteral("IID")).toString() != iid)
            continue;
        const QJsonObject own = meta.value(QStringLiteral("MetaData")).toObject();
        for (const QJsonValue& dependency : own.value(QStringLiteral("Depends")).toArray())
            pending += dependency.toString();
        for (const QJsonValue& entry : own.value(QStringLiteral("Options")).toArray()) {
            const QJsonObject option = entry.toObject();
            QStringList names;
            for (const QJsonValue& optionName : option.value(QStringLiteral("names")).toArray())
                if (!optionName.toString().isEmpty())
                    names += optionName.toString();
            if (names.isEmpty())
                continue;
            options += QCommandLineOption(names, option.value(QStringLiteral("description")).toString(),
                                          option.value(QStringLiteral("valueName")).toString(),
                                          option.value(QStringLiteral("defaultValue")).toString());
        }
    }
    return options;
}

} // namespace zrv
