#include "MessageLog.h"

#include <zrvcommon/AppLogger.h>

#include <QtCore/QFileInfo>
#include <QtCore/QString>
#include <QtCore/QtGlobal>

#include <cstdio>
#include <string>

namespace zrv {

namespace {

// A message raised while the log itself is being written (or created) goes
// to standard error only, instead of recursing into the logger.
thread_local bool logging = false;

std::string origin(const QMessageLogContext& context)
{
    const char* category = context.category;
    std::string where = (!category || std::string_view(category) == "default") ? "qt" : category;
    if (context.file && *context.file)
        where += ' ' + QFileInfo(QString::fromUtf8(context.file)).fileName().toStdString() + ':' +
                 std::to_string(context.line);
    return where;
}

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    const QString formatted = qFormatLogMessage(type, context, message);
    std::fprintf(stderr, "%s\n", formatted.toLocal8Bit().constData());
    std::fflush(stderr);
    if (type == QtDebugMsg || logging)
        return;
    logging = true;
    const FileLogger::Level level = type == QtInfoMsg      ? FileLogger::Level::Info
                                  : type == QtWarningMsg ? FileLogger::Level::Warning
                                                         : FileLogger::Level::Error;
    AppLogger::inst()->log(level, origin(context), message.toStdString());
    logging = false;
}

} // namespace

void installMessageLog()
{
    qInstallMessageHandler(handle);
}

} // namespace zrv
