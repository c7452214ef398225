#pragma once

#include <QtCore/QCommandLineOption>
#include <QtCore/QList>
#include <QtCore/QStringList>

#include <cstdio>
#include <optional>

namespace zrv {

// The options of the host itself, registered after the shared ones:
// "--plugin-dir <dir>" (repeatable) adds a directory searched for plug-ins
// after the one beside the executable, "--start-plugin <name>" names the plug-in
// to start instead of "Core".
QList<QCommandLineOption> hostOptions();

// The command line as the host reads it before any window exists: help,
// version, the values of the options it knows, and where the plug-ins are.
// Options are looked up in the shared registry at the time of each call,
// so that options declared by plug-ins count once they are registered.
class CommandLine
{
public:
    // The whole argument list, before Qt takes its own options out of it.
    CommandLine(int argc, char** argv);

    // The directories of --plugin-dir, absolute, in the order given.
    QStringList extraPluginDirectories() const;
    // The value of --start-plugin, or "Core".
    QString startPlugin() const;

    // Prints the usage (--help, -h) or the version (--version) on out and
    // gives 0, or names a missing or malformed value of a known option on
    // err and gives 2. Nothing when the application should start.
    std::optional<int> earlyExit(std::FILE* out, std::FILE* err) const;

    // The usage text with every registered option.
    static QString helpText();

private:
    QStringList arguments;
};

// The directory of the running executable, found without an application
// object.
QString executableDirectory(const char* argv0);

// Unknown options as they were written ("--foo", "-x").
QString describeOptions(const QStringList& names);

} // namespace zrv
