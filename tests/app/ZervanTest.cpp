// Runs a copy of zervan with the test plug-ins "Core" and "Helper" beside it
// and checks what the process does, says and returns.
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <csignal>
#include <string_view>

namespace {

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::NormalExit;
    QStringList out; // lines of standard output
    QString err;

    QString value(const QString& key) const
    {
        const QString prefix = key + QLatin1Char('=');
        for (const QString& line : out) {
            if (line.startsWith(prefix))
                return line.mid(prefix.size());
        }
        return QStringLiteral("<no %1>").arg(key);
    }
};

class Zervan
{
public:
    explicit Zervan(QProcessEnvironment env = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
        for (const QString& key : env.keys())
            environment.insert(key, env.value(key));
        process.setProcessEnvironment(environment);
        process.setProgram(QStringLiteral(ZERVAN_UNDER_TEST));
    }

    void start(const QStringList& args, const QString& workingDirectory = {})
    {
        process.setArguments(args);
        if (!workingDirectory.isEmpty())
            process.setWorkingDirectory(workingDirectory);
        process.start();
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    }

    Run finish()
    {
        Run run;
        if (!process.waitForFinished(240000)) {
            process.kill();
            process.waitForFinished();
            run.err = QStringLiteral("timed out");
            return run;
        }
        run.exitCode = process.exitCode();
        run.status = process.exitStatus();
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'));
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    Run run(const QStringList& args, const QString& workingDirectory = {})
    {
        start(args, workingDirectory);
        return finish();
    }

    bool waitForLine(const QString& line)
    {
        QByteArray seen;
        QDeadlineTimer deadline(240000);
        while (!deadline.hasExpired()) {
            if (process.state() != QProcess::Running)
                return false;
            process.waitForReadyRead(100);
            seen += process.peek(process.bytesAvailable());
            if (seen.contains(line.toUtf8() + '\n'))
                return true;
            seen.clear();
        }
        return false;
    }

    qint64 pid() const { return process.processId(); }
    QString dataDir() const { return dataHome.path(); }

private:
    QTemporaryDir dataHome;
    QProcess process;
};

QProcessEnvironment env(std::initializer_list<std::pair<const char*, const char*>> values)
{
    QProcessEnvironment result;
    for (const auto& [key, value] : values)
        result.insert(QString::fromLatin1(key), QString::fromLatin1(value));
    return result;
}

QString describe(const Run& run)
{
    return QStringLiteral("exit %1 (%2)\nstdout:\n%3\nstderr:\n%4")
        .arg(run.exitCode)
        .arg(run.status == QProcess::NormalExit ? "normal" : "crash")
        .arg(run.out.join(QLatin1Char('\n')), run.err.right(4000));
}

} // namespace

class ZervanTest : public QObject
{
    Q_OBJECT

private slots:
    void startsPluginsInDependencyOrderAndShutsThemDownOnQuit()
    {
        Zervan zervan;
        const Run run = zervan.run({});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        const QStringList lifecycle = run.out.filter(QRegularExpression(QStringLiteral("^(init|shutdown) ")));
        QCOMPARE(lifecycle, (QStringList{"init Helper", "init Core", "shutdown Core", "shutdown Helper"}));
        QCOMPARE(run.value("engine"), QStringLiteral("1"));
        QCOMPARE(run.value("platform"), QStringLiteral("offscreen"));
        // The shared options, the host's own, then what the plug-ins declare.
        QCOMPARE(run.value("options"), QStringLiteral("a,assist,s,size,sdktest,gamma,plugin-dir,start-plugin,test-flavour"));
        QVERIFY2(!run.err.contains(QLatin1String("Stack trace")), qPrintable(run.err));
    }

    void exitCodeFollowsTheOverrideRule_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("loopResult");
        QTest::addColumn<int>("expected");
        QTest::newRow("3 overrides 0") << "int:3" << "0" << 3;
        QTest::newRow("0 keeps 1") << "int:0" << "1" << 1;
        QTest::newRow("text keeps 1") << "str:abc" << "1" << 1;
        QTest::newRow("numeric text overrides") << "str:7" << "0" << 7;
        QTest::newRow("unset keeps 5") << "" << "5" << 5;
        QTest::newRow("unset keeps 0") << "" << "0" << 0;
    }

    void exitCodeFollowsTheOverrideRule()
    {
        QFETCH(QString, property);
        QFETCH(QString, loopResult);
        QFETCH(int, expected);
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("ZRV_TEST_LOOP_RESULT"), loopResult);
        if (!property.isEmpty())
            environment.insert(QStringLiteral("ZRV_TEST_EXIT_PROPERTY"), property);
        Zervan zervan(environment);
        const Run run = zervan.run({});
        QCOMPARE(run.status, QProcess::NormalExit);
        QVERIFY2(run.exitCode == expected, qPrintable(describe(run)));
    }

    void modeArgumentsAloneCreateTheHook_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("hooked");
        QTest::addColumn<QString>("assist");
        QTest::newRow("-a 1234") << QStringList{"-a", "1234"} << true << "1234";
        QTest::newRow("--assist 1234") << QStringList{"--assist", "1234"} << true << "1234";
        QTest::newRow("--gamma x.json") << QStringList{"--gamma", "x.json"} << true << "";
        QTest::newRow("--assist=1234") << QStringList{"--assist=1234"} << false << "1234";
        QTest::newRow("no argument") << QStringList{} << false << "";
        QTest::newRow("-s 800x600") << QStringList{"-s", "800x600"} << false << "";
        QTest::newRow("Qt option first") << QStringList{"-platform", "offscreen", "--assist", "99"} << true << "99";
        QTest::newRow("Qt option only") << QStringList{"-platform", "offscreen"} << false << "";
    }

    void modeArgumentsAloneCreateTheHook()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, hooked);
        QFETCH(QString, assist);
        Zervan zervan;
        const Run run = zervan.run(args);
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.value("hook"), hooked ? QStringLiteral("zrv::ObjectHook") : QStringLiteral("none"));
        QCOMPARE(run.value("hookproperty"), hooked ? QStringLiteral("1") : QStringLiteral("0"));
        // Outside the modes Qt's hook table is never written.
        QCOMPARE(run.value("hooktable"), hooked ? QStringLiteral("1,1") : QStringLiteral("0,0"));
        // The registry reads the values whatever the mode.
        QCOMPARE(run.value("assist"), assist);
        // Qt's own options are gone before anyone else sees the arguments.
        QVERIFY2(!run.value("args").contains(QLatin1String("-platform")), qPrintable(run.value("args")));
    }

    void optionValuesReachThePlugins()
    {
        Zervan zervan;
        const Run run = zervan.run({"-s", "800x600", "--gamma", "script.json"});
        QCOMPARE(run.value("size"), QStringLiteral("800x600"));
        QCOMPARE(run.value("gamma"), QStringLiteral("script.json"));
    }

    void hookFindsAPluginWindowByItsId()
    {
        Zervan zervan(env({{"ZRV_TEST_ACTION", "findwindow"}}));
        const Run run = zervan.run({"-a", "1234"});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.value("found"), QStringLiteral("1"));
    }

    void interruptShutsDownOnceAndExitsWithZero()
    {
        for (const int signal : {SIGINT, SIGTERM}) {
            Zervan zervan(env({{"ZRV_TEST_ACTION", "wait"}}));
            zervan.start({});
            QVERIFY(zervan.waitForLine(QStringLiteral("ready")));
            QCOMPARE(::kill(pid_t(zervan.pid()), signal), 0);
            const Run run = zervan.finish();
            QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
            QCOMPARE(run.out.count(QStringLiteral("shutdown Core")), 1);
            QCOMPARE(run.out.count(QStringLiteral("shutdown Helper")), 1);
        }
    }

    // The main thread stays busy for ten minutes: the signal still ends the
    // process, as interrupted, without waiting for it (finish() gives up
    // long before the ten minutes).
    void interruptEndsTheProcessWhileTheMainThreadIsBusy()
    {
        for (const int signal : {SIGINT, SIGTERM}) {
            Zervan zervan(env({{"ZRV_TEST_ACTION", "block"}}));
            zervan.start({});
            QVERIFY(zervan.waitForLine(QStringLiteral("ready")));
            QCOMPARE(::kill(pid_t(zervan.pid()), signal), 0);
            const Run run = zervan.finish();
            QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 128 + signal, qPrintable(describe(run)));
            QCOMPARE(run.out.count(QStringLiteral("shutdown Core")), 0);
        }
    }

    void crashPrintsAStackTraceAndEndsAbnormally()
    {
        // A fault on the main thread, and a stack overflow on another one,
        // whose handler needs a stack of its own. The sanitizer gives every
        // thread one unless told not to, which a build without it does not
        // do: told so, this build sees what a release build would.
        const QByteArray sanitizer = qgetenv("ASAN_OPTIONS");
        const QByteArray withoutSignalStacks = sanitizer + (sanitizer.isEmpty() ? "" : ":") + "use_sigaltstack=0";
        for (const char* action : {"crash", "overflow"}) {
            Zervan zervan(env({{"ZRV_TEST_ACTION", action}, {"ASAN_OPTIONS", withoutSignalStacks.constData()}}));
            const Run run = zervan.run({});
            QVERIFY2(run.status == QProcess::CrashExit, qPrintable(describe(run)));
            QVERIFY2(run.err.contains(QLatin1String("Stack trace (most recent call last)")), qPrintable(describe(run)));
            const char* frame = std::string_view(action) == "crash" ? "crashOnRequest" : "overflowOnRequest";
            QVERIFY2(run.err.contains(QLatin1String(frame)), qPrintable(describe(run)));
            QVERIFY2(!run.out.contains(QStringLiteral("shutdown Core")), qPrintable(describe(run)));
        }
    }

    void pluginDirectoryIsBesideTheExecutable()
    {
        // A working directory with a "plugins" folder of its own changes
        // nothing.
        QTemporaryDir elsewhere;
        QVERIFY(QDir(elsewhere.path()).mkdir(QStringLiteral("plugins")));
        Zervan zervan;
        const Run run = zervan.run({}, elsewhere.path());
        QVERIFY2(run.out.contains(QStringLiteral("init Core")), qPrintable(describe(run)));
        const QString expected = QFileInfo(QStringLiteral(ZERVAN_UNDER_TEST)).absolutePath() + QStringLiteral("/plugins");
        QCOMPARE(run.value("plugins"), expected);
    }

    void qmlImportsTheFakeModule()
    {
        Zervan zervan(env({{"ZRV_TEST_ACTION", "qml"}}));
        const Run run = zervan.run({});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        QCOMPARE(run.value("import 254.254"), QStringLiteral("ok"));
        QCOMPARE(run.value("import 254.0"), QStringLiteral("ok"));
        QCOMPARE(run.value("import 1.0"), QStringLiteral("failed"));
        QCOMPARE(QByteArray::fromPercentEncoding(run.value("qmldir").toUtf8()),
                 QByteArray("module zervan.fake\ntypeinfo zervan.qmltypes\nprefer :/zervan/fake/\ndepends QtQuick\n"));
        QCOMPARE(run.value("fakeimports"), QStringLiteral("46"));
    }

    void logsThePlatformNameInTheUserDataDirectory()
    {
        Zervan zervan;
        const Run run = zervan.run({});
        QCOMPARE(run.exitCode, 0);
        QFile log(zervan.dataDir() + QStringLiteral("/Zervan/zervan/zervan.log"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QString logged = QString::fromUtf8(log.readAll());
        QVERIFY2(logged.contains(QRegularExpression(
                     QStringLiteral(R"((^|\n)\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] zervan/main\.cpp:\d+: offscreen\n)"))),
                 qPrintable(logged));
    }

    void helpAndVersionAnswerBeforeAnyPluginRuns()
    {
        Zervan zervan;
        const Run help = zervan.run({"--help"});
        QVERIFY2(help.status == QProcess::NormalExit && help.exitCode == 0, qPrintable(describe(help)));
        const QString usage = help.out.join(QLatin1Char('\n'));
        for (const char* expected : {"Usage: zervan", "-a, --assist <port>", "-s, --size <size>", "--sdktest <dll>",
                                     "--gamma <json>", "--plugin-dir <dir>", "--start-plugin <name>", "--version",
                                     "--test-flavour <name>  A plug-in's own option"})
            QVERIFY2(usage.contains(QLatin1String(expected)), qPrintable(expected + (": " + usage)));
        QVERIFY2(!help.out.contains(QStringLiteral("init Core")), qPrintable(describe(help)));

        const Run version = zervan.run({"--version"});
        QVERIFY2(version.exitCode == 0 && version.out.value(0) == QLatin1String("zervan 26.6.0"), qPrintable(describe(version)));
        QVERIFY2(!version.out.contains(QStringLiteral("init Core")), qPrintable(describe(version)));
    }

    void wrongOptionValuesStopBeforeAnyPluginRuns_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("complaint");
        QTest::newRow("--gamma without a script") << QStringList{"--gamma"} << "Missing value after '--gamma'";
        QTest::newRow("-s abc") << QStringList{"-s", "abc"} << "--size takes <width>x<height>, not \"abc\"";
        QTest::newRow("--size 0x600") << QStringList{"--size", "0x600"} << "takes <width>x<height>, not \"0x600\"";
        QTest::newRow("--assist 99999") << QStringList{"--assist", "99999"} << "takes a port from 1 to 65535";
        QTest::newRow("--gamma \"\"") << QStringList{"--gamma", ""} << "--gamma needs a value";
        QTest::newRow("plug-in option") << QStringList{"--test-flavour"} << "Missing value after '--test-flavour'";
        QTest::newRow("--plugin-dir nowhere") << QStringList{"--plugin-dir", "/nonexistent/plugins"}
                                              << "\"/nonexistent/plugins\" is not a directory";
    }

    void wrongOptionValuesStopBeforeAnyPluginRuns()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, complaint);
        Zervan zervan;
        const Run run = zervan.run(args);
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 2, qPrintable(describe(run)));
        QVERIFY2(run.err.contains(complaint) && run.err.contains(QLatin1String("zervan --help")), qPrintable(describe(run)));
        QVERIFY2(!run.out.contains(QStringLiteral("init Core")), qPrintable(describe(run)));
    }

    void unknownOptionsAreToleratedAndNamedOnceInTheLog()
    {
        Zervan zervan;
        const Run run = zervan.run({"--frobnicate", "--also-unknown=3", "-platform", "offscreen"});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        QFile log(zervan.dataDir() + QStringLiteral("/Zervan/zervan/zervan.log"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n')).filter(QStringLiteral("frobnicate"));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].contains(QLatin1String("[warning] zervan/main.cpp:")) &&
                     lines[0].endsWith(QLatin1String("--frobnicate, --also-unknown")),
                 qPrintable(lines[0]));
    }

    void qtMessagesGoToTheLogAndToStandardError()
    {
        Zervan zervan(env({{"ZRV_TEST_ACTION", "warn"}}));
        const Run run = zervan.run({});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(describe(run)));
        QFile log(zervan.dataDir() + QStringLiteral("/Zervan/zervan/zervan.log"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QString logged = QString::fromUtf8(log.readAll());
        QVERIFY2(run.err.contains(QLatin1String("a warning from plug-in Core")), qPrintable(describe(run)));
        QVERIFY2(logged.contains(QRegularExpression(QStringLiteral(R"(\[warning\] qt( \S+)?: a warning from plug-in Core\n)"))),
                 qPrintable(logged));
        QVERIFY2(run.err.contains(QLatin1String("Unable to assign [undefined] to QString")), qPrintable(describe(run)));
        QVERIFY2(logged.contains(QRegularExpression(QStringLiteral(R"(\[warning\] (qt|qml)\S*( \S+)?: .*Unable to assign \[undefined\] to QString)"))),
                 qPrintable(logged));
    }
};

QTEST_GUILESS_MAIN(ZervanTest)
#include "ZervanTest.moc"
