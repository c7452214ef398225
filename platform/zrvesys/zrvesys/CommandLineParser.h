#pragma once

#include <zrvesys/Export.h>

#include <QtCore/QCommandLineOption>
#include <QtCore/QList>
#include <QtCore/QStringList>

namespace zrv {

// The application's shared registry of command-line options. The executable
// and the plug-ins register the options they understand; anyone may then
// read the values given on the application's command line.
//
// Values are parsed from QCoreApplication::arguments() on the first read
// after the registry changed, so options registered before the application
// object exists are read from the final argument list. Before the
// application object exists no option is set. Thread-safe.
class ZRVESYS_EXPORT CommandLineParser
{
public:
    // Registers the options in the given order. Returns false and registers
    // none of them when one of their names is already registered or repeats
    // within the list.
    static bool AddOptions(const QList<QCommandLineOption>& options);

    static QStringList registeredNames();
    // The registered options, in the order of registration.
    static QList<QCommandLineOption> registeredOptions();
    static bool isSet(const QString& name);
    // The last value given for the option, or its default value.
    static QString value(const QString& name);
    static QStringList values(const QString& name);
    static QStringList positionalArguments();
    // Options on the command line that nobody registered.
    static QStringList unknownOptionNames();
};

} // namespace zrv
