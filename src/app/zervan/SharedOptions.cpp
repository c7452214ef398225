#include "SharedOptions.h"

#include <QtCore/QStringList>

namespace zrv {

QList<QCommandLineOption> sharedOptions()
{
    return {
        QCommandLineOption(QStringList{QStringLiteral("a"), QStringLiteral("assist")},
                           QStringLiteral("Run the Zervan with a assistant server at <port>"),
                           QStringLiteral("port"), QString()),
        QCommandLineOption(QStringList{QStringLiteral("s"), QStringLiteral("size")},
                           QStringLiteral("Set the window size in format <width>x<height>"),
                           QStringLiteral("size"), QString()),
        QCommandLineOption(QStringLiteral("sdktest"), QStringLiteral("Specify a dynamic library to run sdk test"),
                           QStringLiteral("dll"), QString()),
        QCommandLineOption(QStringLiteral("gamma"), QStringLiteral("Specify a gamma script to run gamma test"),
                           QStringLiteral("json"), QString()),
    };
}

} // namespace zrv
