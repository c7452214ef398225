// How fast the Core plug-in's 3D view shows a large station: a generated
// station of about 10 MB (some 11,000 objects, thousands of program
// targets) is written to a scratch file and opened in zervan, which must
// draw through OpenGL (run this under a display, or `xvfb-run -a` for
// Mesa's software renderer). Prints the time from opening the station to
// the view's first frame, the whole run until that frame, and the frame
// rate while the view orbits. Wall-clock figures: on a loaded machine they
// vary from run to run.
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/release/bench/examples/cell_view_bench [FRAMES [DIR]]

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace {

// User and system CPU time of a process so far, from /proc (Linux).
double CpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(stat.readAll());
    // Fields after the command name, which is in parentheses.
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
    if (fields.size() < 13)
        return -1;
    const double ticks = fields[11].toDouble() + fields[12].toDouble();
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    // The station and script go to DIR when given (and stay there).
    QTemporaryDir scratch;
    const QDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) : scratch.path());
    const QString station = dir.filePath(QStringLiteral("large.sdf"));
    {
        auto root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(185000, 42));
        sdf::SDF::ReadSdfFromString(root->toXMLString(""))->Write(station.toStdString());
    }
    const QString script = dir.filePath(QStringLiteral("bench.json"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringLiteral(R"({"timeout": 60000, "steps": [
        {"action": "check", "id": "cellView", "property": "firstFrameMs", "matches": "^[1-9]"},
        {"action": "check", "id": "statusText", "property": "text", "matches": "objects$"},
        {"action": "set", "id": "cellView", "property": "orbitFrames", "value": %1},
        {"action": "check", "id": "cellView", "property": "orbitFps", "matches": "^[1-9]"}
    ]})").arg(frames).toUtf8());
    file.close();

    QProcess zervan;
    zervan.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    zervan.start(QStringLiteral(ZERVAN_EXECUTABLE),
                 {station, QStringLiteral("--size"), QStringLiteral("1280x800"), QStringLiteral("--gamma"), script});
    double shownAt = 0;
    double orbitCpuStart = -1;
    double orbitCpu = -1;
    QString output;
    while (zervan.state() != QProcess::NotRunning || zervan.bytesAvailable()) {
        zervan.waitForReadyRead(50);
        const QString more = QString::fromLocal8Bit(zervan.readAll());
        output += more;
        if (shownAt == 0 && output.contains(QStringLiteral("PASS 1/")))
            shownAt = clock.nsecsElapsed() / 1e6;
        // The orbit runs between the third step's line and the fourth's.
        if (orbitCpuStart < 0 && output.contains(QStringLiteral("PASS 3/")))
            orbitCpuStart = CpuMs(zervan.processId());
        if (orbitCpu < 0 && orbitCpuStart >= 0 && output.contains(QStringLiteral("PASS 4/")))
            orbitCpu = CpuMs(zervan.processId()) - orbitCpuStart;
    }
    const auto value = [&](const char* property) {
        const QRegularExpression line(QStringLiteral("PASS \\d+/\\d+ check [a-zA-Z]+\\.%1: \"?([0-9.]+)").arg(QLatin1String(property)));
        return line.match(output).captured(1);
    };
    const QRegularExpression objects(QStringLiteral("\"([0-9]+) objects\""));
    std::printf("station: %s, %lld bytes, %s objects\n", qPrintable(QFileInfo(station).fileName()),
                static_cast<long long>(QFileInfo(station).size()), qPrintable(objects.match(output).captured(1)));
    std::printf("opening the station to the view's first frame: %s ms\n", qPrintable(value("firstFrameMs")));
    std::printf("start of zervan to that frame reported (includes reading, at most one script step late): %.0f ms\n", shownAt);
    std::printf("orbiting, %d frames: %s frames per second\n", frames, qPrintable(value("orbitFps")));
    if (orbitCpu > 0)
        std::printf("CPU time of zervan (all its threads, Mesa's included) while orbiting: %.1f ms per frame\n",
                    orbitCpu / frames);
    if (zervan.exitCode() != 0) {
        std::printf("zervan failed:\n%s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
