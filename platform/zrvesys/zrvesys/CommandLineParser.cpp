#include <zrvesys/CommandLineParser.h>

#include <QtCore/QCommandLineParser>
#include <QtCore/QCoreApplication>
#include <QtCore/QSet>

#include <memory>
#include <mutex>

namespace zrv {

namespace {

struct Registry
{
    std::mutex mutex;
    QList<QCommandLineOption> options;
    QSet<QString> names;
    std::unique_ptr<QCommandLineParser> parser; // null until parsed, reset on change
    bool parsedWithApplication = false;
};

Registry& registry()
{
    static Registry r;
    return r;
}

// Caller holds the registry's mutex.
QCommandLineParser& parsed(Registry& r)
{
    const bool haveApplication = QCoreApplication::instance() != nullptr;
    if (!r.parser || (haveApplication && !r.parsedWithApplication)) {
        r.parser = std::make_unique<QCommandLineParser>();
        r.parser->addOptions(r.options);
        r.parsedWithApplication = haveApplication;
        // parse() keeps going past unknown options, so every registered
        // option is read even when the command line carries foreign ones.
        if (haveApplication)
            r.parser->parse(QCoreApplication::arguments());
    }
    return *r.parser;
}

} // namespace

bool CommandLineParser::AddOptions(const QList<QCommandLineOption>& options)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    QSet<QString> added;
    for (const QCommandLineOption& option : options) {
        for (const QString& name : option.names()) {
            if (r.names.contains(name) || added.contains(name))
                return false;
            added.insert(name);
        }
    }
    r.options.append(options);
    r.names.unite(added);
    r.parser.reset();
    return true;
}

QStringList CommandLineParser::registeredNames()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    QStringList result;
    for (const QCommandLineOption& option : r.options)
        result += option.names();
    return result;
}

QList<QCommandLineOption> CommandLineParser::registeredOptions()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.options;
}

bool CommandLineParser::isSet(const QString& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.names.contains(name) && parsed(r).isSet(name);
}

QString CommandLineParser::value(const QString& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.names.contains(name) ? parsed(r).value(name) : QString();
}

QStringList CommandLineParser::values(const QString& name)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.names.contains(name) ? parsed(r).values(name) : QStringList();
}

QStringList CommandLineParser::positionalArguments()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return parsed(r).positionalArguments();
}

QStringList CommandLineParser::unknownOptionNames()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return parsed(r).unknownOptionNames();
}

} // namespace zrv
