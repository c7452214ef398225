#include "CommandLine.h"

#include <zrvesys/CommandLineParser.h>

#include <QtCore/QCommandLineParser>
#include <QtCore/QDir>
#include <QtCore/QFileInfo>
#include <QtCore/QRegularExpression>

#include <filesystem>
#include <system_error>

namespace zrv {

namespace {

const QString PluginDirOption = QStringLiteral("plugin-dir");
const QString PluginOption = QStringLiteral("start-plugin");

// Parses with every option registered so far. Qt's own options (such as
// "-platform offscreen") are still in the list: single-dash words are taken
// as whole option names so that they stay unknown and never pass for a row
// of short options that takes the next word as its value.
struct Parsed
{
    explicit Parsed(const QStringList& arguments)
    {
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions(CommandLineParser::registeredOptions());
        parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
        parser.addOption(QCommandLineOption(QStringLiteral("version")));
        // Unknown options are left to the plug-ins; any other complaint
        // (a missing value) stands.
        ok = parser.parse(arguments) || parser.errorText().startsWith(QLatin1String("Unknown option"));
    }
    QCommandLineParser parser;
    bool ok = false;
};

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// What is wrong with the value of a known option, or nothing.
QString problemWith(const QString& name, const QString& value)
{
    if (value.isEmpty())
        return QStringLiteral("%1 needs a value").arg(dashed(name));
    if (name == QLatin1String("size")) {
        static const QRegularExpression size(QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
        const QRegularExpressionMatch match = size.match(value);
        if (!match.hasMatch() || match.captured(1).toInt() <= 0 || match.captured(2).toInt() <= 0)
            return QStringLiteral("%1 takes <width>x<height>, not \"%2\"").arg(dashed(name), value);
    } else if (name == QLatin1String("assist")) {
        bool ok = false;
        const int port = value.toInt(&ok);
        if (!ok || port <= 0 || port > 65535)
            return QStringLiteral("%1 takes a port from 1 to 65535, not \"%2\"").arg(dashed(name), value);
    } else if (name == PluginDirOption) {
        if (!QFileInfo(value).isDir())
            return QStringLiteral("%1: \"%2\" is not a directory").arg(dashed(name), value);
    }
    return {};
}

} // namespace

QList<QCommandLineOption> hostOptions()
{
    return {
        QCommandLineOption(PluginDirOption,
                           QStringLiteral("Also look for plug-ins in <dir>, after the plugins directory beside zervan"),
                           QStringLiteral("dir")),
        QCommandLineOption(PluginOption, QStringLiteral("Start the plug-in <name> instead of \"Core\""),
                           QStringLiteral("name")),
    };
}

CommandLine::CommandLine(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i)
        arguments += QString::fromLocal8Bit(argv[i]);
    if (arguments.isEmpty())
        arguments += QStringLiteral("zervan");
}

QStringList CommandLine::extraPluginDirectories() const
{
    const Parsed parsed(arguments);
    QStringList directories;
    for (const QString& dir : parsed.parser.values(PluginDirOption))
        directories += QFileInfo(dir).absoluteFilePath();
    return directories;
}

QString CommandLine::startPlugin() const
{
    const Parsed parsed(arguments);
    const QString name = parsed.parser.value(PluginOption);
    return name.isEmpty() ? QStringLiteral("Core") : name;
}

std::optional<int> CommandLine::earlyExit(std::FILE* out, std::FILE* err) const
{
    const Parsed parsed(arguments);
    const auto fail = [err](const QString& problem) {
        std::fprintf(err, "zervan: %s\nTry 'zervan --help'.\n", qPrintable(problem));
        std::fflush(err);
        return 2;
    };
    if (!parsed.ok)
        return fail(parsed.parser.errorText());
    if (parsed.parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(helpText()), out);
        std::fflush(out);
        return 0;
    }
    if (parsed.parser.isSet(QStringLiteral("version"))) {
        std::fprintf(out, "zervan %s\n", ZRV_VERSION);
        std::fflush(out);
        return 0;
    }
    for (const QCommandLineOption& option : CommandLineParser::registeredOptions()) {
        if (option.valueName().isEmpty())
            continue;
        const QString name = option.names().constLast();
        if (!parsed.parser.isSet(name))
            continue;
        for (const QString& value : parsed.parser.values(name)) {
            const QString problem = problemWith(name, value);
            if (!problem.isEmpty())
                return fail(problem);
        }
    }
    return std::nullopt;
}

QString CommandLine::helpText()
{
    QList<QPair<QString, QString>> rows{
        {QStringLiteral("-h, --help"), QStringLiteral("Show this help and exit")},
        {QStringLiteral("--version"), QStringLiteral("Show the version and exit")},
    };
    for (const QCommandLineOption& option : CommandLineParser::registeredOptions()) {
        if (option.flags() & QCommandLineOption::HiddenFromHelp)
            continue;
        QStringList names;
        for (const QString& name : option.names())
            names += dashed(name);
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QStringLiteral(" <%1>").arg(option.valueName());
        rows += {left, option.description()};
    }
    qsizetype width = 0;
    for (const auto& row : rows)
        width = std::max(width, row.first.size());
    QString text = QStringLiteral("Usage: zervan [options] [station]\n\n"
                                  "Starts the plug-in \"Core\" (or the one named with --start-plugin) on the station.\n\n"
                                  "Options:\n");
    for (const auto& row : rows)
        text += QStringLiteral("  %1  %2\n").arg(row.first.leftJustified(width), row.second);
    text += QStringLiteral("\nQt's own options (for example -platform offscreen) are accepted too.\n"
                           "Unknown options are left to the plug-ins and named in the log.\n");
    return text;
}

QString executableDirectory(const char* argv0)
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error)
        return QString::fromStdString(self.parent_path().string());
    return QFileInfo(QString::fromLocal8Bit(argv0 ? argv0 : "")).absolutePath();
}

QString describeOptions(const QStringList& names)
{
    QStringList shown;
    for (const QString& name : names)
        shown += dashed(name);
    return shown.join(QStringLiteral(", "));
}

} // namespace zrv
