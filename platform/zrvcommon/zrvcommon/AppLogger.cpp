#include <zrvcommon/AppLogger.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QStandardPaths>

namespace zrv {

AppLogger::AppLogger()
    : FileLogger(defaultPath())
{
}

AppLogger* AppLogger::inst()
{
    // Intentionally immortal: plug-ins and static destructors may still log
    // while the process winds down.
    static AppLogger* const logger = new AppLogger;
    return logger;
}

std::string AppLogger::defaultPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QStringLiteral("zervan");
    return QDir::toNativeSeparators(dir + QLatin1Char('/') + name + QStringLiteral(".log")).toStdString();
}

} // namespace zrv
