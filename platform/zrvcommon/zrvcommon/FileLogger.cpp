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

void FileLogger::info(const std::string& text, std::source_location where)
{
    log(Level::Info, Origin(where), text);
}
void FileLogger::warning(const std::string& text, std::source_location where)
{
    log(Level::Warning, Origin(where), text);
}
void FileLogger::error(const std::string& text, std::source_location where)
{
    log(Level::Error, Origin(where), text);
}

std::string FileLogger::Origin(const std::source_location& where)
{
    // The file with its folder tells both the component and the place.
    const std::string_view file = where.file_name();
    std::size_t cut = file.find_last_of("/\\");
    if (cut != std::string_view::npos && cut > 0) {
        const std::size_t folder = file.find_last_of("/\\", cut - 1);
        cut = folder == std::string_view::npos ? 0 : folder + 1;
    } else {
        cut = 0;
    }
    return std::string(file.substr(cut)) + ':' + std::to_string(where.line());
}

void FileLogger::log(Level severity, std::string_view origin, const std::string& text)
{
    const std::string_view level = severity == Level::Info      ? "info"
                                 : severity == Level::Warning ? "warning"
                                                              : "error";
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
        out << stamp << " [" << level << "] " << origin << ": " << text << '\n';
        out.flush();
    } else {
        // Nothing is lost when the file cannot be written.
        std::fprintf(stderr, "%s [%.*s] %.*s: %s\n", stamp.c_str(), int(level.size()), level.data(), int(origin.size()),
                     origin.data(), text.c_str());
    }
}

} // namespace zrv
