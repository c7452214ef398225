#pragma once

#include <zrvcommon/Export.h>

#include <fstream>
#include <mutex>
#include <source_location>
#include <string>
#include <string_view>

namespace zrv {

// Appends timestamped lines to one file, each saying where it comes from:
//   2026-06-01 09:30:12.345 [info] zervan/main.cpp:61: offscreen
//   2026-06-01 09:30:12.512 [warning] qml: qrc:/Main.qml:245: Unable to assign ...
// The plain calls name the caller's file (with its folder) and line; log()
// takes any origin, such as a Qt message category. Every line is flushed at
// once so that the log is complete even when the process dies right after
// writing it. Safe to use from any thread.
class ZRVCOMMON_EXPORT FileLogger
{
public:
    enum class Level
    {
        Info,
        Warning,
        Error,
    };

    explicit FileLogger(std::string path);
    virtual ~FileLogger();

    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    void info(const std::string& text, std::source_location where = std::source_location::current());
    void warning(const std::string& text, std::source_location where = std::source_location::current());
    void error(const std::string& text, std::source_location where = std::source_location::current());
    void log(Level level, std::string_view origin, const std::string& text);

    const std::string& path() const { return filePath; }

    // "folder/file.cpp:line" of a source location.
    static std::string Origin(const std::source_location& where);

private:
    std::string filePath;
    std::mutex mutex;
    std::ofstream out;
    bool openTried = false;
};

} // namespace zrv
