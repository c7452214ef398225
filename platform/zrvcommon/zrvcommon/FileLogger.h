#pragma once

#include <zrvcommon/Export.h>

#include <fstream>
#include <mutex>
#include <string>
#include <string_view>

namespace zrv {

// Appends timestamped lines ("2026-06-01 09:30:12.345 [info] text") to one
// file. Every line is flushed at once so that the log is complete even when
// the process dies right after writing it. Safe to use from any thread.
class ZRVCOMMON_EXPORT FileLogger
{
public:
    explicit FileLogger(std::string path);
    virtual ~FileLogger();

    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    void info(const std::string& text);
    void warning(const std::string& text);
    void error(const std::string& text);

    const std::string& path() const { return filePath; }

private:
    void write(std::string_view level, const std::string& text);

    std::string filePath;
    std::mutex mutex;
    std::ofstream out;
    bool openTried = false;
};

} // namespace zrv
