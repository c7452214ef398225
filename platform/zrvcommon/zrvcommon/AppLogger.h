#pragma once

#include <zrvcommon/FileLogger.h>

namespace zrv {

// The process-wide logger of the application. It writes to
// "<application name>.log" in the user's application data directory
// (QStandardPaths::AppLocalDataLocation), or in the temporary directory when
// the platform names none.
class ZRVCOMMON_EXPORT AppLogger : public FileLogger
{
public:
    static AppLogger* inst();

    // Where inst() writes, given the application and organisation names set
    // at the time of the call.
    static std::string defaultPath();

private:
    AppLogger();
};

} // namespace zrv
