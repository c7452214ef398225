#include <zrvcommon/FileLogger.h>

#include <QtCore/QDateTime>

#include <cstdio>
#include <filesystem>

namespace zrv {

FileLogger::FileLogger(std::string path)
    : filePath(std::move(path))
{
}

FileLogger::~FileLogger() = default;

void FileLogger::info(const std::string& text) { write("info", text); }
void FileLogger::warning(const std::string& text) { write("warning", text); }
void FileLogger::error(const std::string& text) { write("error", text); }

void FileLogger::write(std::string_view level, const std::string& text)
{
    const std::string stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toStdString();

    std::lock_guard lock(mutex);
    // The file is opened on first use, so a logger that never logs leaves
    // no empty file behind.
    if (!openTried) {
        openTried = true;
        std::error_code ignored;
        const std::filesystem::path file(filePath);
        if (file.has_parent_path())
            std::filesystem::create_directories(file.parent_path(), ignored);
        out.open(file, std::ios::app);
        if (!out)
            std::fprintf(stderr, "cannot open log file %s; logging to standard error\n", filePath.c_str());
    }
    if (out) {
        out << stamp << " [" << level << "] " << text << '\n';
        out.flush();
    } else {
        // Nothing is lost when the file cannot be written.
        std::fprintf(stderr, "%s [%.*s] %s\n", stamp.c_str(), int(level.size()), level.data(), text.c_str());
    }
}

} // namespace zrv
