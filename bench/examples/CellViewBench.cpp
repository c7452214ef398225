// How fast the Core plug-in's 3D view shows a large station: a generated
// station of about 10 MB (some 11,000 objects, thousands of program
// targets) is written to a scratch file and opened in zervan, which must
// draw through OpenGL (run this under a display, or `xvfb-run -a` for
// Mesa's software renderer). Prints the time from opening the station to
// the view's first frame, the whole run until that frame, and the frame
// rate while the view orbits. Wall-clock figures: on a loaded machine they
// vary from run to run.
//   xvfb-run -a -s "-screen 0 1600x1000x24" build/release/bench/examples/cell_view_bench [frames]

#include <StationGenerator.h>

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <QtCore/QCoreApplication>
#include <QtCore/QElapsedTimer>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    QTemporaryDir dir;
    const QString station = dir.filePath(QStringLiteral("large.sdf"));
    {
        auto root = sdf::testing::GenerateStation(sdf::testing::GeneratorOptions::ForElementCount(185000, 42));
        sdf::SDF::ReadSdfFromString(root->toXMLString(""))->Write(station.toStdString());
    }
    const QString script = dir.filePath(QStringLiteral("bench.json"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(QStringLiteral(R"({"timeout": 120000, "steps": [
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
    QString output;
    while (zervan.state() != QProcess::NotRunning || zervan.bytesAvailable()) {
        zervan.waitForReadyRead(100);
        const QString more = QString::fromLocal8Bit(zervan.readAll());
        output += more;
        if (shownAt == 0 && output.contains(QStringLiteral("PASS 1/")))
            shownAt = clock.nsecsElapsed() / 1e6;
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
    if (zervan.exitCode() != 0) {
        std::printf("zervan failed:\n%s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
