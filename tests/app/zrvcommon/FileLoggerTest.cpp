#include <zrvcommon/AppLogger.h>

#include <QtCore/QFile>
#include <QtCore/QRegularExpression>
#include <QtCore/QStandardPaths>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <thread>
#include <vector>

namespace {

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<cannot read %1>").arg(path)};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

const QRegularExpression linePattern(QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[(info|warning|error)\] (\S+): (.*)$)"));

} // namespace

class FileLoggerTest : public QObject
{
    Q_OBJECT

private slots:
    void appendsTimestampedLinesCreatingTheDirectory()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/deeper/still/app.log");
        {
            QFile old(path);
            QVERIFY(QDir().mkpath(dir.path() + QStringLiteral("/deeper/still")));
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("kept from before\n");
        }
        zrv::FileLogger logger(path.toStdString());
        logger.info("offscreen");
        logger.warning("plug-in missing");
        logger.error("with \"quotes\" and ünïcode");
        logger.log(zrv::FileLogger::Level::Warning, "qml", "Main.qml:3: a warning of Qt's");

        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("kept from before"));
        const QStringList expected[] = {{"info", "offscreen"},
                                        {"warning", "plug-in missing"},
                                        {"error", "with \"quotes\" and ünïcode"}};
        for (int i = 0; i < 3; ++i) {
            const auto match = linePattern.match(lines[i + 1]);
            QVERIFY2(match.hasMatch(), qPrintable(lines[i + 1]));
            QCOMPARE(match.captured(1), expected[i][0]);
            // Each line names the file and line that logged it.
            QVERIFY2(match.captured(2).startsWith(QLatin1String("zrvcommon/FileLoggerTest.cpp:")), qPrintable(lines[i + 1]));
            QCOMPARE(match.captured(3), expected[i][1]);
        }
        const auto qt = linePattern.match(lines[4]);
        QVERIFY2(qt.hasMatch() && qt.captured(2) == QLatin1String("qml"), qPrintable(lines[4]));
    }

    void linesFromManyThreadsStayWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/threads.log");
        zrv::FileLogger logger(path.toStdString());
        constexpr int threads = 4;
        constexpr int perThread = 250;
        std::vector<std::thread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([&logger, t] {
                for (int i = 0; i < perThread; ++i)
                    logger.info("thread " + std::to_string(t) + " line " + std::to_string(i) + std::string(40, 'x'));
            });
        }
        for (std::thread& writer : writers)
            writer.join();

        const QStringList lines = linesOf(path);
        QCOMPARE(lines.size(), threads * perThread);
        QSet<QString> seen;
        for (const QString& line : lines) {
            const auto match = linePattern.match(line);
            QVERIFY2(match.hasMatch() && match.captured(3).endsWith(QString(40, QLatin1Char('x'))), qPrintable(line));
            seen.insert(match.captured(3));
        }
        QCOMPARE(seen.size(), threads * perThread);
    }

    void appLoggerWritesIntoTheApplicationDataDirectory()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("zrvlogtest"));
        const QString expected = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
                               + QStringLiteral("/zrvlogtest.log");
        QFile::remove(expected);

        zrv::AppLogger* logger = zrv::AppLogger::inst();
        QCOMPARE(zrv::AppLogger::inst(), logger);
        QCOMPARE(QString::fromStdString(logger->path()), expected);
        static_cast<zrv::FileLogger*>(logger)->info("through the base");
        const QStringList lines = linesOf(expected);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].endsWith(QLatin1String(": through the base")), qPrintable(lines[0]));
        QFile::remove(expected);
    }
};

QTEST_GUILESS_MAIN(FileLoggerTest)
#include "FileLoggerTest.moc"
