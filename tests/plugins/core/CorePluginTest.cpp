// Runs zervan with the Core plug-in under the offscreen platform and drives
// its window with automation scripts; what the plug-in saves is read back
// with the library.
#include "cell/SimulationStation.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QTemporaryDir>
#include <QtGui/QImage>
#include <QtTest/QtTest>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct Run
{
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList lines; // standard output
    QString err;

    QStringList withPrefix(const QString& prefix) const
    {
        QStringList result;
        for (const QString& line : lines) {
            if (line.startsWith(prefix))
                result += line;
        }
        return result;
    }
    QString describe() const
    {
        // The failed steps first: a failure message is cut after a while.
        return QStringLiteral("exit %1 (%2)\nfailed:\n%3\nstdout:\n%4\nstderr:\n%5")
            .arg(exitCode)
            .arg(status == QProcess::NormalExit ? "normal" : "crash")
            .arg(withPrefix(QStringLiteral("FAIL")).join(QLatin1Char('\n')), lines.join(QLatin1Char('\n')), err.right(4000));
    }
};

// A scratch directory that is also the user's data directory of the runs,
// so that each test sees its own log.
class Scratch
{
public:
    QString path(const QString& name) const { return dir.filePath(name); }

    QString writeScript(const QString& name, const QJsonArray& steps, int timeoutMs = 10000) const
    {
        const QJsonObject script{{"timeout", timeoutMs}, {"steps", steps}};
        return writeFile(name, QJsonDocument(script).toJson());
    }
    QString writeFile(const QString& name, const QByteArray& content) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }
    QString log() const
    {
        QFile file(path(QStringLiteral("Zervan/zervan/zervan.log")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // fileSizeLimit: bytes, the process's limit on the files it writes (0:
    // none).
    Run zervan(const QStringList& args, rlim_t fileSizeLimit = 0) const
    {
        QProcess process;
        if (fileSizeLimit != 0) {
            process.setChildProcessModifier([fileSizeLimit] {
                const rlimit limit{fileSizeLimit, fileSizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            });
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(ZERVAN_EXECUTABLE), args);
        Run run;
        if (!process.waitForStarted() || !process.waitForFinished(300000)) {
            process.kill();
            process.waitForFinished();
            run.err = QStringLiteral("did not run to its end: ") + process.errorString();
            return run;
        }
        run.exitCode = process.exitCode();
        run.status = process.exitStatus();
        run.lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

private:
    QTemporaryDir dir;
};

QJsonObject step(std::initializer_list<std::pair<QString, QJsonValue>> fields)
{
    QJsonObject result;
    for (const auto& [key, value] : fields)
        result.insert(key, value);
    return result;
}

// The object element with that id and label, depth first.
std::shared_ptr<sdf::Element> findObject(const std::shared_ptr<sdf::Element>& element, unsigned id,
                                         const std::string& label)
{
    if (element->getId() == id && element->label() == label)
        return element;
    for (const auto& child : element->elements()) {
        if (auto found = findObject(child, id, label))
            return found;
    }
    return nullptr;
}

// How many pixels of the image are close to the colour (text is drawn with
// antialiasing, so only its cores hit the colour itself).
int colourShare(const QImage& image, const QColor& colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) < 24)
                ++count;
        }
    }
    return count;
}

// The sample's text with its meshes named by absolute paths, so that a copy
// elsewhere still finds them (a missing one is listed among the problems,
// whose panel takes room from the tree).
QByteArray SampleWithItsMeshes()
{
    QFile sample(QStringLiteral(SAMPLE_STATION));
    if (!sample.open(QIODevice::ReadOnly))
        qFatal("cannot read the sample");
    QByteArray text = sample.readAll();
    const QString meshes = QFileInfo(QStringLiteral(SAMPLE_STATION)).absolutePath() + QStringLiteral("/meshes/");
    return text.replace("<uri>meshes/", "<uri>" + QFile::encodeName(meshes));
}

std::string libraryReadError(const QString& file)
{
    try {
        sdf::SDF::ReadSdfFromFile(file.toStdString());
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

} // namespace

// sdftool validate --ids on the file: its exit code and what it printed.
std::pair<int, QString> validateIds(const QString& file)
{
    QProcess process;
    process.start(QStringLiteral(SDFTOOL_EXECUTABLE), {QStringLiteral("validate"), QStringLiteral("--ids"), file});
    if (!process.waitForFinished(60000))
        return {-1, QStringLiteral("sdftool did not finish")};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError())};
}

QByteArray readAll(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(unreadable)");
}

class CorePluginTest : public QObject
{
    Q_OBJECT

private slots:
    void browsesEditsAndSavesOnlyWhatWasEdited()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), station));
        const QString saved = scratch.path(QStringLiteral("saved/cell.sdf"));
        QVERIFY(QDir().mkpath(scratch.path(QStringLiteral("saved"))));

        const QString script = scratch.writeScript(QStringLiteral("edit.json"), {
            step({{"action", "check"}, {"id", "fileLabel"}, {"property", "text"}, {"equals", station}}),
            step({{"action", "check"}, {"id", "savePathField"}, {"property", "text"}, {"equals", station}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "Sample welding cell"}}),
            step({{"action", "find"}, {"id", "treeRowKind"}, {"name", "manipulator"}}),
            // A nested object: its ancestors open as it is selected.
            step({{"action", "select"}, {"row", "aoWireFeed"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "aoWireFeed (signal 27)"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "parent"}, {"property", "text"}, {"equals", "23"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "@id"}, {"property", "readOnly"}, {"equals", true}}),
            step({{"action", "edit"}, {"field", "value"}, {"value", "9.25"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"contains", "* "}}),
            // Renaming goes through the object: the tree shows the new name.
            step({{"action", "select"}, {"objectId", 4}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", "upper arm"}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "upper arm"}}),
            step({{"action", "save"}, {"path", saved}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "Saved " + saved}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"notEquals", ""}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.describe()));
        QCOMPARE(run.withPrefix(QStringLiteral("PASS ")).size(), 17);
        QVERIFY2(run.withPrefix(QStringLiteral("FAIL ")).isEmpty(), qPrintable(run.describe()));

        // The original with the same two edits made through the library is
        // what must have been saved, down to the last character.
        const auto original = sdf::SDF::ReadSdfFromFile(station.toStdString());
        const auto signal = findObject(original->Root(), 27, "signal");
        const auto link = findObject(original->Root(), 4, "link");
        QVERIFY(signal && link);
        QCOMPARE(signal->asDouble("value"), 8.5);
        signal->get("value")->setValueFromString("9.25");
        link->get("name")->setValueFromString("upper arm");

        const auto written = sdf::SDF::ReadSdfFromFile(saved.toStdString());
        const auto savedSignal = findObject(written->Root(), 27, "signal");
        QVERIFY(savedSignal);
        QVERIFY(savedSignal->get("value")->type_info() == typeid(double));
        QCOMPARE(savedSignal->asDouble("value"), 9.25);
        QCOMPARE(QString::fromStdString(written->Root()->toXMLString("")),
                 QString::fromStdString(original->Root()->toXMLString("")));
    }

    // Text that is not a whole value of the field's type is refused, with
    // the reason beside the field in the error colour; a value stored other
    // than typed says so in the warning colour; an id that names no object
    // is refused. What reaches the file is only what was accepted.
    void entriesAreStrictAndSayWhatWasStored()
    {
        Scratch scratch;
        const auto refuse = [](const char* field, const char* text, const char* reason) {
            return QJsonArray{
                step({{"action", "set"}, {"id", "fieldValue"}, {"name", field}, {"property", "text"}, {"value", text}}),
                step({{"action", "key"}, {"id", "fieldValue"}, {"name", field}, {"key", "Return"}}),
                step({{"action", "check"}, {"id", "fieldMessage"}, {"name", field}, {"property", "text"}, {"contains", reason}}),
                step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"matches", "^[^*]"}}),
            };
        };
        QJsonArray steps{step({{"action", "select"}, {"row", "Table"}})};
        for (const auto& piece : refuse("pose", "abc", "'pose' cannot hold 'abc'"))
            steps.append(piece);
        steps.append(step({{"action", "screenshot"}, {"path", "refused.png"}}));
        steps.append(step({{"action", "select"}, {"row", "Bracket & Gusset <L>"}}));
        for (const auto& piece : refuse("child", "999", "no object has id 999"))
            steps.append(piece);
        steps.append(step({{"action", "select"}, {"row", "aoWireFeed"}}));
        for (const auto& piece : refuse("value", "fast", "'double' cannot hold 'fast'"))
            steps.append(piece);
        for (const auto& piece : refuse("value", "12.5 m/min", "'double'"))
            steps.append(piece);
        for (const QJsonValue& piece : QJsonArray{
                 step({{"action", "edit"}, {"field", "value"}, {"value", "9.25"}}),
                 step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "value set to \"9.25\""}}),
                 step({{"action", "select"}, {"row", "Table"}}),
                 step({{"action", "edit"}, {"field", "pose"}, {"value", "1000.123456 0 0 2 0 0 0"}, {"expect", "1000.12 0 0 1 0 0 0"}}),
                 step({{"action", "check"}, {"id", "fieldMessage"}, {"name", "pose"}, {"property", "text"},
                       {"equals", "stored as \"1000.12 0 0 1 0 0 0\": the quaternion was normalised to length 1; rounded to 6 significant digits"}}),
                 step({{"action", "screenshot"}, {"path", "warned.png"}}),
                 step({{"action", "select"}, {"row", "link_2"}}),
                 step({{"action", "edit"}, {"field", "pose"}, {"value", "10 20 30 1 0 0 0"}}),
                 // A new parent rearranges the tree; the object stays selected.
                 step({{"action", "select"}, {"row", "Top"}}),
                 step({{"action", "edit"}, {"field", "parent"}, {"value", "21"}}),
                 step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Top (body 20)"}}),
                 step({{"action", "find"}, {"id", "treeRow"}, {"name", "Top"}}),
                 step({{"action", "save"}, {"path", scratch.path(QStringLiteral("typed.sdf"))}}),
             })
            steps.append(piece);
        const QString script = scratch.writeScript(QStringLiteral("typed.json"), steps);
        QFile sample(QStringLiteral(SAMPLE_STATION));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        const QByteArray sampleBefore = sample.readAll();
        sample.close();
        const Run run = scratch.zervan({QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));

        const auto written = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("typed.sdf")).toStdString());
        QCOMPARE(findObject(written->Root(), 27, "signal")->asDouble("value"), 9.25);
        QCOMPARE(findObject(written->Root(), 21, "part")->asUInt("child"), 22u);
        const auto table = findObject(written->Root(), 19, "part")->asPose("pose");
        QCOMPARE(table.pos.x, 1000.12);
        QCOMPARE(table.orient.w, 1.0);
        const auto pose = findObject(written->Root(), 5, "link")->asPose("pose");
        QCOMPARE(pose.pos.x, 10.0);
        QCOMPARE(pose.pos.z, 30.0);
        QCOMPARE(findObject(written->Root(), 20, "body")->asUInt("parent"), 21u);
        // The bundled sample itself is never saved over.
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QCOMPARE(sample.readAll(), sampleBefore);

        // What a person sees: the reason in the error colour, the note on
        // rounding in the warning colour.
        QVERIFY2(colourShare(QImage(scratch.path(QStringLiteral("refused.png"))), QColor(0xb0, 0x00, 0x20)) > 0,
                 "no error colour in the window after a refused entry");
        QVERIFY2(colourShare(QImage(scratch.path(QStringLiteral("warned.png"))), QColor(0x9a, 0x5b, 0x00)) > 0,
                 "no warning colour in the window after a rounded entry");
    }

    void mouseAndKeysDriveTheTreeAndTheFields()
    {
        Scratch scratch;
        const QString station = scratch.writeFile(QStringLiteral("cell.sdf"), SampleWithItsMeshes());
        const QString script = scratch.writeScript(QStringLiteral("mouse.json"), {
            step({{"action", "click"}, {"id", "treeExpander"}, {"name", "expander/2"}}),
            step({{"action", "click"}, {"id", "treeRow"}, {"name", "joint_1"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "joint_1 (joint 10)"}}),
            // A nested value, typed and confirmed with Enter.
            step({{"action", "set"}, {"id", "fieldValue"}, {"name", "axis/limit/lower"}, {"property", "text"}, {"value", "-170"}}),
            step({{"action", "key"}, {"id", "fieldValue"}, {"name", "axis/limit/lower"}, {"key", "Return"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "axis/limit/lower set to \"-170\""}}),
            // Collapsing hides the selected row but keeps the selection.
            step({{"action", "click"}, {"id", "treeExpander"}, {"name", "expander/2"}}),
            step({{"action", "check"}, {"id", "stationTree"}, {"property", "currentIndex"}, {"equals", -1}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "joint_1 (joint 10)"}}),
            step({{"action", "click"}, {"id", "saveButton"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "Saved " + station}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));

        // Saved over itself, with the one change.
        const auto written = sdf::SDF::ReadSdfFromFile(station.toStdString());
        QCOMPARE(findObject(written->Root(), 10, "joint")->asDouble("axis/limit/lower"), -170.0);
        QCOMPARE(findObject(written->Root(), 11, "joint")->asDouble("axis/limit/lower"), -63.0);
    }

    // Selecting by id (what a pick in the 3D view does) opens several levels
    // at once, above rows already shown; afterwards every row must still
    // show, and a click select, its own object. The edits reach exactly the
    // objects clicked, as the saved file shows. With two objects of one name
    // a select checks the row of the one selected.
    void treeRowsShowTheirOwnObjectsAfterPicksAndExpansions()
    {
        Scratch scratch;
        QByteArray text = SampleWithItsMeshes();
        QVERIFY(text.contains("<name>Bracket</name>"));
        text.replace("<name>Bracket</name>", "<name>Top</name>");
        const QString station = scratch.writeFile(QStringLiteral("cell.sdf"), text);
        const QString saved = scratch.path(QStringLiteral("saved.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("rows.json"), {
            // Three levels below the task, then two above them.
            step({{"action", "select"}, {"objectId", 44}}),
            step({{"action", "select"}, {"objectId", 16}}),
            step({{"action", "click"}, {"id", "treeRow"}, {"name", "joint_5"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "joint_5 (joint 14)"}}),
            step({{"action", "edit"}, {"field", "axis/limit/lower"}, {"value", "-100"}}),
            step({{"action", "check"}, {"id", "treeRowName"}, {"name", "joint_6"}, {"property", "visible"}, {"equals", true}}),
            step({{"action", "click"}, {"id", "treeExpander"}, {"name", "expander/23"}}),
            step({{"action", "click"}, {"id", "treeRow"}, {"name", "aoWireFeed"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "aoWireFeed (signal 27)"}}),
            step({{"action", "edit"}, {"field", "value"}, {"value", "7.5"}}),
            step({{"action", "click"}, {"id", "treeRow"}, {"name", "object/44"}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", "Approach"}}),
            // Body 20's row made first, body 22's (also "Top") last.
            step({{"action", "select"}, {"objectId", 20}}),
            step({{"action", "click"}, {"id", "treeExpander"}, {"name", "expander/21"}}),
            step({{"action", "select"}, {"row", "Top"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Top (body 20)"}}),
            step({{"action", "save"}, {"path", saved}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--size"), QStringLiteral("1100x2200"),
                                        QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.describe()));

        const auto expected = sdf::SDF::ReadSdfFromFile(station.toStdString());
        findObject(expected->Root(), 14, "joint")->get("axis/limit/lower")->setValueFromString("-100");
        findObject(expected->Root(), 27, "signal")->get("value")->setValueFromString("7.5");
        findObject(expected->Root(), 44, "argument")->get("name")->setValueFromString("Approach");
        const auto written = sdf::SDF::ReadSdfFromFile(saved.toStdString());
        QCOMPARE(QString::fromStdString(written->Root()->toXMLString("")),
                 QString::fromStdString(expected->Root()->toXMLString("")));
    }

    // Joint values are shown and typed in degrees (millimetres for a
    // prismatic joint) and kept in radians, within the joint's limits; a
    // limit may not pass the other; a name XML cannot carry is refused. A
    // pose has fields of its own, and typing back what a field shows
    // changes nothing.
    void unitsLimitsAndPoseFields()
    {
        Scratch scratch;
        QFile sample(QStringLiteral(SAMPLE_STATION));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray text = sample.readAll();
        QVERIFY(text.contains("<pose>900 -150 760 1 0 0 0</pose>"));
        text.replace("<pose>900 -150 760 1 0 0 0</pose>", "<pose>900 -150 760 0 0 0 0</pose>");
        const QString station = scratch.writeFile(QStringLiteral("cell.sdf"), text);
        const auto refuse = [](const char* id, const char* field, const char* typed, const QString& reason) {
            return QJsonArray{
                step({{"action", "set"}, {"id", id}, {"name", field}, {"property", "text"}, {"value", typed}}),
                step({{"action", "key"}, {"id", id}, {"name", field}, {"key", "Return"}}),
                step({{"action", "check"}, {"id", "fieldMessage"}, {"name", std::string_view(id) == "posePart" ? QString::fromLatin1(field).section('/', 0, 0) : QString::fromLatin1(field)},
                      {"property", "text"}, {"contains", reason}}),
                step({{"action", "key"}, {"id", id}, {"name", field}, {"key", "Escape"}}),
            };
        };
        QJsonArray steps{
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "check"}, {"id", "fieldUnit"}, {"name", "pose"}, {"property", "text"}, {"equals", "mm"}}),
            step({{"action", "set"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"value", "900 0 0 1 0 0 0"}}),
            step({{"action", "key"}, {"id", "fieldValue"}, {"name", "pose"}, {"key", "Return"}}),
            step({{"action", "set"}, {"id", "posePart"}, {"name", "pose/rx"}, {"property", "text"}, {"value", "0"}}),
            step({{"action", "key"}, {"id", "posePart"}, {"name", "pose/rx"}, {"key", "Return"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"matches", "^[^*]"}}),
            step({{"action", "set"}, {"id", "posePart"}, {"name", "pose/rz"}, {"property", "text"}, {"value", "90"}}),
            step({{"action", "key"}, {"id", "posePart"}, {"name", "pose/rz"}, {"key", "Return"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "900 0 0 0.707107 0 0 0.707107"}}),
            step({{"action", "set"}, {"id", "posePart"}, {"name", "pose/y"}, {"property", "text"}, {"value", "12.5"}}),
            step({{"action", "key"}, {"id", "posePart"}, {"name", "pose/y"}, {"key", "Return"}}),
            step({{"action", "check"}, {"id", "posePart"}, {"name", "pose/rz"}, {"property", "text"}, {"equals", "90"}}),
            step({{"action", "select"}, {"objectId", 21}}),
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "pose"}, {"property", "text"}, {"contains", "no rotation: the quaternion is zero"}}),
            step({{"action", "select"}, {"row", "joint_5"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "value"}, {"property", "text"}, {"equals", "30.00007015"}}),
            step({{"action", "check"}, {"id", "fieldUnit"}, {"name", "value"}, {"property", "text"}, {"equals", "\u00b0"}}),
            step({{"action", "check"}, {"id", "fieldUnit"}, {"name", "axis/limit/lower"}, {"property", "text"}, {"equals", "\u00b0"}}),
            step({{"action", "edit"}, {"field", "value"}, {"value", "45"}}),
        };
        for (const QJsonValue& piece : refuse("fieldValue", "value", "116", "116 \u00b0 lies outside the joint's limits, -115 to 115 \u00b0"))
            steps.append(piece);
        for (const QJsonValue& piece : refuse("fieldValue", "axis/limit/lower", "200", "the lower limit would be above the upper limit, 115"))
            steps.append(piece);
        for (const QJsonValue& piece : refuse("fieldValue", "name", "a\u001bb", "U+001B, which XML cannot carry"))
            steps.append(piece);
        for (const QJsonValue& piece : refuse("posePart", "pose/z", "high", "'double' cannot hold 'high'"))
            steps.append(piece);
        steps.append(step({{"action", "select"}, {"row", "joint_6"}}));
        steps.append(step({{"action", "edit"}, {"field", "type"}, {"value", "prismatic"}}));
        steps.append(step({{"action", "check"}, {"id", "fieldUnit"}, {"name", "value"}, {"property", "text"}, {"equals", "mm"}}));
        for (const QJsonValue& piece : refuse("fieldValue", "value", "500", "500 mm lies outside the joint's limits, -400 to 400 mm"))
            steps.append(piece);
        steps.append(step({{"action", "edit"}, {"field", "value"}, {"value", "250"}}));
        steps.append(step({{"action", "save"}, {"path", scratch.path(QStringLiteral("units.sdf"))}}));
        const QString script = scratch.writeScript(QStringLiteral("units.json"), steps);
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));

        const auto written = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("units.sdf")).toStdString());
        const auto joint5 = findObject(written->Root(), 14, "joint");
        QCOMPARE(joint5->asDouble("value"), 0.7853981633974483);
        QCOMPARE(joint5->asDouble("axis/limit/lower"), -115.0);
        QCOMPARE(joint5->asString("name"), std::string("joint_5"));
        QCOMPARE(findObject(written->Root(), 15, "joint")->asDouble("value"), 250.0);
        const auto table = findObject(written->Root(), 19, "part")->asPose("pose");
        QCOMPARE(table.pos.x, 900.0);
        QCOMPARE(table.pos.y, 12.5);
        QCOMPARE(table.orient.w, 0.707107);
        QCOMPARE(table.orient.z, 0.707107);
    }

    // A new parent keeps a part where it is in the cell: its pose is given
    // anew in the new parent's frame, and one undo takes back both. Asked
    // to, the local pose is kept instead. Dragging a tree row onto another
    // row gives the same new parent; a row below the dragged one, and one
    // whose object can not hold it, are refused with the reason.
    void newParentKeepsThePlaceUnlessAskedNot()
    {
        Scratch scratch;
        const QString script = scratch.writeScript(QStringLiteral("parent.json"), {
            step({{"action", "save"}, {"path", scratch.path(QStringLiteral("before-drag.sdf"))}}),
            step({{"action", "dragRow"}, {"objectId", 19}, {"onto", 21}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "0 150 -760 1 0 0 0"}}),
            step({{"action", "save"}, {"path", scratch.path(QStringLiteral("dragged.sdf"))}}),
            step({{"action", "dragRow"}, {"objectId", 21}, {"onto", 19}, {"refused", "Table is Bracket & Gusset <L> or lies below it"}}),
            step({{"action", "dragRow"}, {"objectId", 21}, {"onto", 28}, {"refused", "Weld can not hold Bracket & Gusset <L>: a task holds no part"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "save"}, {"path", scratch.path(QStringLiteral("undone-drag.sdf"))}}),
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "edit"}, {"field", "parent"}, {"value", "21"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "0 150 -760 1 0 0 0"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "parent"}, {"property", "text"}, {"equals", "1"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "900 0 0 1 0 0 0"}}),
            step({{"action", "set"}, {"id", "keepLocalPoseMenuItem"}, {"property", "checked"}, {"value", true}}),
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "edit"}, {"field", "parent"}, {"value", "21"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "900 0 0 1 0 0 0"}}),
            step({{"action", "save"}, {"path", scratch.path(QStringLiteral("parent.sdf"))}}),
        });
        const Run run = scratch.zervan({QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const auto written = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("parent.sdf")).toStdString());
        const auto table = findObject(written->Root(), 19, "part");
        QCOMPARE(table->asUInt("parent"), 21u);
        QCOMPARE(table->asPose("pose").pos.x, 900.0);
        const auto dragged = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("dragged.sdf")).toStdString());
        QCOMPARE(findObject(dragged->Root(), 19, "part")->asUInt("parent"), 21u);
        QCOMPARE(findObject(dragged->Root(), 19, "part")->asPose("pose").pos.z, -760.0);
        QCOMPARE(readAll(scratch.path(QStringLiteral("undone-drag.sdf"))), readAll(scratch.path(QStringLiteral("before-drag.sdf"))));
        const auto [draggedCode, draggedOutput] = validateIds(scratch.path(QStringLiteral("dragged.sdf")));
        QVERIFY2(draggedCode == 0, qPrintable(draggedOutput));
        // The child lists follow the new parent.
        const auto [code, output] = validateIds(scratch.path(QStringLiteral("parent.sdf")));
        QVERIFY2(code == 0, qPrintable(output));
    }

    // The editor's keys and commands, run the way a person works: edit, take
    // back, redo, rename to nothing, move through the tree, filter it, save
    // over the file and under a new name; and the QML
    // says nothing on standard error meanwhile.
    void editorCommandsWorkWithoutQmlWarnings()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), station));
        const QString other = scratch.path(QStringLiteral("other.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("editor.json"), {
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "pose"}, {"property", "text"},
                  {"equals", "position 900, 0, 0 \u00b7 rx 0\u00b0, ry 0\u00b0, rz 0\u00b0"}}),
            step({{"action", "edit"}, {"field", "pose"}, {"value", "1 2 3 0.7071068 0 0 0.7071068"}, {"expect", "1 2 3 0.707107 0 0 0.707107"}}),
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "pose"}, {"property", "text"},
                  {"equals", "position 1, 2, 3 \u00b7 rx 0\u00b0, ry 0\u00b0, rz 90\u00b0"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"contains", "* "}}),
            step({{"action", "key"}, {"id", "fieldValue"}, {"name", "pose"}, {"key", "Ctrl+Z"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "900 0 0 1 0 0 0"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"matches", "^[^*]"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Shift+Z"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "1 2 3 0.707107 0 0 0.707107"}}),
            // The same from the tool bar, and Ctrl+Y redoes on every platform.
            step({{"action", "click"}, {"id", "undoButton"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "900 0 0 1 0 0 0"}}),
            step({{"action", "check"}, {"id", "redoMenuItem"}, {"property", "enabled"}, {"equals", true}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Y"}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "1 2 3 0.707107 0 0 0.707107"}}),
            step({{"action", "check"}, {"id", "redoMenuItem"}, {"property", "enabled"}, {"equals", false}}),
            // An object without a name gets a placeholder, in the tree and
            // in the title.
            step({{"action", "select"}, {"objectId", 4}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", ""}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "(unnamed link 4)"}}),
            step({{"action", "check"}, {"id", "treeRowName"}, {"name", "(unnamed link 4)"}, {"property", "visible"}, {"equals", true}}),
            // Id fields say what they name.
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "parent"}, {"property", "text"}, {"equals", "\u2192 ZR12_145"}}),
            // Keys in the tree: Down moves, Left goes to the parent.
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Down"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "link_2 (link 5)"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Left"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "ZR12_145 (manipulator 2)"}}),
            // Find filters the tree to the matches and their ancestors.
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+F"}}),
            step({{"action", "check"}, {"id", "findField"}, {"property", "activeFocus"}, {"equals", true}}),
            step({{"action", "set"}, {"id", "findField"}, {"property", "text"}, {"value", "wirefeed"}}),
            step({{"action", "check"}, {"id", "stationTree"}, {"property", "count"}, {"equals", 3}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "aoWireFeed"}}),
            step({{"action", "set"}, {"id", "findField"}, {"property", "text"}, {"value", "27"}}),
            step({{"action", "check"}, {"id", "stationTree"}, {"property", "count"}, {"equals", 3}}),
            step({{"action", "set"}, {"id", "findField"}, {"property", "text"}, {"value", ""}}),
            step({{"action", "check"}, {"id", "stationTree"}, {"property", "count"}, {"notEquals", 3}}),
            // Save over the file with the key, then under a new name, which
            // becomes the station's file.
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+S"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "Saved " + station}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"matches", "^[^*]"}}),
            step({{"action", "save"}, {"path", other}}),
            step({{"action", "check"}, {"id", "fileLabel"}, {"property", "text"}, {"equals", other}}),
            step({{"action", "screenshot"}, {"path", "editor.png"}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.describe()));
        for (const QString& line : run.err.split(QLatin1Char('\n'))) {
            QVERIFY2(!line.contains(QLatin1String("qrc:/")) && !line.contains(QLatin1String("QML")) &&
                         !line.contains(QLatin1String("Binding loop")),
                     qPrintable(QStringLiteral("QML warning: ") + line));
        }

        for (const QString& file : {station, other}) {
            const auto written = sdf::SDF::ReadSdfFromFile(file.toStdString());
            const auto pose = findObject(written->Root(), 19, "part")->asPose("pose");
            QCOMPARE(pose.pos.x, 1.0);
            QCOMPARE(pose.orient.z, 0.707107);
            QCOMPARE(findObject(written->Root(), 4, "link")->asString("name"), std::string());
        }
    }

    // The id check's problems are listed under the tree; a click selects the
    // object concerned, whose id field is marked dangling. New starts an
    // empty station without problems.
    void problemsPanelListsIdProblemsAndSelectsTheObject()
    {
        Scratch scratch;
        const QString station = scratch.writeFile(QStringLiteral("problems.sdf"), R"(<sdf version='1.0'><station id='1'><name>Cell</name>
            <part id='2'><name>A</name><parent>1</parent><pose>0 0 0 1 0 0 0</pose></part>
            <part id='3'><parent>1</parent><pose>0 0 0 1 0 0 0</pose></part>
            <frame id='4'><name>F</name><parent>1</parent><anchor>77</anchor><pose>0 0 0 1 0 0 0</pose></frame>
            </station></sdf>)");
        const QString script = scratch.writeScript(QStringLiteral("problems.json"), {
            step({{"action", "check"}, {"id", "problemsHeading"}, {"property", "text"}, {"contains", "1 problem"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Cell (station 1)"}}),
            step({{"action", "click"}, {"id", "problemRow"}, {"name", "/sdf/station/frame/anchor"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "F (frame 4)"}}),
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "anchor"}, {"property", "text"},
                  {"equals", "\u2192 no object has id 77 (dangling)"}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "(unnamed part 3)"}}),
            // Mending it empties the list.
            step({{"action", "edit"}, {"field", "anchor"}, {"value", "2"}}),
            step({{"action", "check"}, {"id", "fieldNote"}, {"name", "anchor"}, {"property", "text"}, {"equals", "\u2192 A"}}),
            step({{"action", "check"}, {"id", "problemsPanel"}, {"property", "visible"}, {"equals", false}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "check"}, {"id", "problemsPanel"}, {"property", "visible"}, {"equals", true}}),
            step({{"action", "screenshot"}, {"path", "problems.png"}}),
            // Undone, nothing is unsaved: New starts at once. With a change
            // it asks first.
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+N"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "New station (station 1)"}}),
            step({{"action", "check"}, {"id", "problemsPanel"}, {"property", "visible"}, {"equals", false}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", "Cell 2"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+N"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "unsavedDialogShown"}, {"equals", true}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        QVERIFY2(colourShare(QImage(scratch.path(QStringLiteral("problems.png"))), QColor(0xb0, 0x00, 0x20)) > 0,
                 "the problems and the dangling id are not in the error colour");
    }

    // A value text the reader takes only in part ("0,5236" as 0) stays a
    // problem after other edits, and saving asks before writing it as read:
    // refused without an answer, written after one; edited, it asks no more.
    void savingAsksBeforeValueTextsChange()
    {
        Scratch scratch;
        const QString station = scratch.writeFile(QStringLiteral("comma.sdf"), R"(<sdf version='1.0'><station id='1'><name>Cell</name>
            <part id='2'><name>A</name><parent>1</parent><pose>0 0 0 1 0 0 0</pose></part>
            <part id='3'><name>B</name><parent>1</parent><pose>1186,5 0 0 1 0 0 0</pose></part>
            </station></sdf>)");
        const QString asRead = scratch.path(QStringLiteral("as-read.sdf"));
        const QString edited = scratch.path(QStringLiteral("edited.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("comma.json"), {
            step({{"action", "check"}, {"id", "problemsHeading"}, {"property", "text"}, {"contains", "1 problem"}}),
            step({{"action", "check"}, {"id", "problemRow"}, {"name", "/sdf/station/part[2]/pose"}, {"property", "text"},
                  {"matches", "^line 3, column \\d+: 'pose' cannot hold"}}),
            step({{"action", "select"}, {"row", "A"}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", "A2"}}),
            step({{"action", "check"}, {"id", "problemRow"}, {"name", "/sdf/station/part[2]/pose"}, {"property", "visible"},
                  {"equals", true}}),
            step({{"action", "set"}, {"id", "savePathField"}, {"property", "text"}, {"value", asRead}}),
            step({{"action", "click"}, {"id", "saveButton"}}),
            step({{"action", "check"}, {"id", "rewriteList"}, {"property", "text"},
                  {"matches", "^3:\\d+: /sdf/station/part\\[2\\]/pose: .*1186"}}),
            step({{"action", "click"}, {"id", "rewriteCancelButton"}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "rewriteDialogShown"}, {"equals", false}}),
            step({{"action", "save"}, {"path", "as-read.sdf"}, {"confirm", true}}),
            step({{"action", "select"}, {"row", "B"}}),
            step({{"action", "edit"}, {"field", "pose"}, {"value", "1186.5 0 0 1 0 0 0"}}),
            step({{"action", "check"}, {"id", "problemsPanel"}, {"property", "visible"}, {"equals", false}}),
            step({{"action", "save"}, {"path", "edited.sdf"}}),
        });
        QVERIFY(!QFile::exists(asRead));
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const auto read = sdf::SDF::ReadSdfFromFile(asRead.toStdString());
        QCOMPARE(findObject(read->Root(), 3, "part")->asPose("pose").pos.x, 1186.0);
        const auto mended = sdf::SDF::ReadSdfFromFile(edited.toStdString());
        QCOMPARE(findObject(mended->Root(), 3, "part")->asPose("pose").pos.x, 1186.5);

        // Without an answer the step fails and nothing is written.
        const QString refused = scratch.writeScript(QStringLiteral("refused.json"), {
            step({{"action", "save"}, {"path", "refused.sdf"}}),
        });
        const Run failed = scratch.zervan({station, QStringLiteral("--gamma"), refused});
        QVERIFY2(failed.exitCode == 1 && failed.withPrefix(QStringLiteral("FAIL")).join(' ').contains("would be written as it was read"),
                 qPrintable(failed.describe()));
        QVERIFY(!QFile::exists(scratch.path(QStringLiteral("refused.sdf"))));
    }

    // Geometry that would hang or crash a mesh loader (a glTF whose buffer
    // is a pipe, one that is 200,000 nested brackets, one with too many
    // nodes) is refused before any loader sees it: each is a problem in the
    // panel with its reason, its part is drawn as a box, and the window
    // goes on answering.
    void hostileGeometryIsListedAsProblemsAndTheWindowGoesOn()
    {
        Scratch scratch;
        QVERIFY(::mkfifo(QFile::encodeName(scratch.path(QStringLiteral("pipe.bin"))).constData(), 0600) == 0);
        scratch.writeFile(QStringLiteral("pipe.gltf"), R"({"asset":{"version":"2.0"},"buffers":[{"uri":"pipe.bin"}]})");
        scratch.writeFile(QStringLiteral("deep.gltf"), QByteArray(200000, '['));
        QByteArray nodes = R"({"asset":{"version":"2.0"},"nodes":[{})";
        for (int i = 0; i < 40000; ++i)
            nodes += ",{}";
        scratch.writeFile(QStringLiteral("nodes.gltf"), nodes + "]}");
        const QString station = scratch.writeFile(QStringLiteral("meshes.sdf"), R"(<sdf version='1.0'><station id='1'><name>Cell</name>
            <part id='2'><name>Piped</name><uri>pipe.gltf</uri></part>
            <part id='3'><name>Deep</name><uri>deep.gltf</uri></part>
            <part id='4'><name>Crowded</name><uri>nodes.gltf</uri></part>
            </station></sdf>)");
        const QString script = scratch.writeScript(QStringLiteral("meshes.json"), {
            step({{"action", "check"}, {"id", "problemsHeading"}, {"property", "text"}, {"contains", "3 problems"}}),
            step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"equals", 3}}),
            step({{"action", "find"}, {"id", "problemRow"}, {"name", "geometry not loaded: " + scratch.path("pipe.gltf") +
                                                                         " names " + scratch.path("pipe.bin") +
                                                                         " is not a regular file"}}),
            step({{"action", "find"}, {"id", "problemRow"}, {"name", "geometry not loaded: " + scratch.path("deep.gltf") +
                                                                         ": its JSON is nested deeper than 64 levels"}}),
            step({{"action", "find"}, {"id", "problemRow"}, {"name", "geometry not loaded: " + scratch.path("nodes.gltf") +
                                                                         " has 40001 nodes, more than 5000"}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "Crowded"}}),
            step({{"action", "edit"}, {"field", "name"}, {"value", "Cell 2"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Cell 2 (station 1)"}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    }

    // A big station is read and its tree built on another thread: the window
    // shows that it is loading, Cancel brings back the station it had, and
    // a second try shows the big one.
    void bigStationLoadsWhileTheWindowStaysAndCanBeCancelled()
    {
        Scratch scratch;
        const QString big = scratch.path(QStringLiteral("big.sdf"));
        QCOMPARE(QProcess::execute(QStringLiteral(WRITE_GENERATED_STATION), {big, QStringLiteral("120000")}), 0);
        const QString script = scratch.writeScript(QStringLiteral("big.json"), {
            step({{"action", "open"}, {"path", big}}),
            step({{"action", "check"}, {"id", "loadingPanel"}, {"property", "visible"}, {"equals", true}}),
            step({{"action", "check"}, {"id", "loadingText"}, {"property", "text"}, {"notEquals", ""}}),
            step({{"action", "click"}, {"id", "cancelLoadButton"}}),
            step({{"action", "check"}, {"id", "loadingPanel"}, {"property", "visible"}, {"equals", false}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "Opening cancelled; 86 objects"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Sample welding cell (station 1)"}}),
            step({{"action", "open"}, {"path", big}}),
            step({{"action", "check"}, {"id", "fileLabel"}, {"property", "text"}, {"equals", big}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"matches", "^[0-9]{5} objects$"}}),
            step({{"action", "check"}, {"id", "loadingPanel"}, {"property", "visible"}, {"equals", false}}),
        }, 120000);
        const Run run = scratch.zervan({QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    }

    void failedSaveIsReportedAndLeavesTheFileAlone()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), station));
        const QString nowhere = scratch.path(QStringLiteral("no such folder/cell.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("nowhere.json"), {
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "edit"}, {"field", "pose"}, {"value", "0 0 0 1 0 0 0"}}),
            step({{"action", "save"}, {"path", nowhere}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"contains", "* "}}),
        }, 1000);
        QFile original(station);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();

        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QCOMPARE(run.exitCode, 1);
        const QStringList failures = run.withPrefix(QStringLiteral("FAIL "));
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].contains(QStringLiteral("Could not save ") + nowhere + QStringLiteral(": write file failure")),
                 qPrintable(failures[0]));
        QVERIFY(!QFileInfo::exists(nowhere));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);
        QVERIFY2(scratch.log().contains(QStringLiteral("failed: write file failure")), qPrintable(scratch.log()));
    }

    // Past the file-size limit the kernel raises SIGXFSZ, which would end
    // zervan with a crash report and lose the user's edits. The save must
    // fail like any other, leave the files as they were and nothing beside
    // them, and the window must go on.
    void saveBeyondTheFileSizeLimitIsAReportedFailure()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("big.sdf"));
        const auto document = sdf::SDF::ReadSdfFromFile(SAMPLE_STATION);
        document->Root()->get("station")->appendObject("smart_component", 9000, "bulk")->append("property")->set(
            "value", std::string(1536 * 1024, 'x'));
        document->Write(station.toStdString());
        QFile original(station);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();

        const QString saved = scratch.path(QStringLiteral("saved.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("limit.json"), {
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "edit"}, {"field", "pose"}, {"value", "0 0 0 1 0 0 0"}}),
            step({{"action", "save"}, {"path", saved}}),
            step({{"action", "save"}, {"path", station}}),
            step({{"action", "check"}, {"id", "mainWindow"}, {"property", "title"}, {"contains", "* "}}),
        }, 1000);
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script}, 1024 * 1024);
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 2, qPrintable(run.describe()));
        const QStringList failures = run.withPrefix(QStringLiteral("FAIL "));
        QCOMPARE(failures.size(), 2);
        for (const QString& failure : failures)
            QVERIFY2(failure.contains(QStringLiteral(": write file failure")), qPrintable(failure));
        QVERIFY(!QFileInfo::exists(saved));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QVERIFY(original.readAll() == before);
        const QStringList left = QDir(scratch.path(QString())).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, (QStringList{QStringLiteral("big.sdf"), QStringLiteral("limit.json")}));
    }

    // A station that cannot be read says where and why, as the command-line
    // tool does: line and column with the parser's description for text
    // that is not XML, the place of the element the reader refused, and a
    // missing or empty file as such.
    void brokenStationSaysWhereAndWhy_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("place"); // after the file name
        QTest::addColumn<bool>("withLibraryMessage");
        QTest::newRow("tags mismatch") << QByteArray("<sdf version='1.0'>\n<station id='1'>\n  <name>A</nme>\n</station></sdf>")
                                       << QStringLiteral(":3:12: error: ") << true;
        QTest::newRow("unknown element") << QByteArray("<sdf version='1.0'>\n  <station id='1'>\n    <gadget/>\n  </station>\n</sdf>")
                                         << QStringLiteral(":3:5: error: ") << true;
        QTest::newRow("other version") << QByteArray("<sdf version='2.0'><station id='1'/></sdf>")
                                       << QStringLiteral(":1:1: error: ") << true;
        QTest::newRow("empty") << QByteArray() << QStringLiteral(": error: empty file") << false;
        QTest::newRow("missing") << QByteArray("-") << QStringLiteral(": error: no such file") << false;
    }
    void brokenStationSaysWhereAndWhy()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, place);
        QFETCH(bool, withLibraryMessage);
        Scratch scratch;
        const QString station = content == "-" ? scratch.path(QStringLiteral("gone.sdf"))
                                               : scratch.writeFile(QStringLiteral("broken.sdf"), content);
        QJsonObject expectation{{"action", "check"}, {"id", "errorText"}, {"property", "text"}};
        if (withLibraryMessage) {
            const std::string message = libraryReadError(station);
            QVERIFY(!message.empty());
            expectation.insert("matches", "^" + QRegularExpression::escape(station + place + QString::fromStdString(message)) +
                                              (place == ":3:12: error: " ? ": .*mismatch" : "") + "$");
        } else {
            expectation.insert("equals", station + place);
        }
        const QString script = scratch.writeScript(QStringLiteral("broken.json"), {
            step({{"action", "check"}, {"id", "errorPanel"}, {"property", "visible"}, {"equals", true}}),
            expectation,
            step({{"action", "check"}, {"id", "saveButton"}, {"property", "enabled"}, {"equals", false}}),
            step({{"action", "screenshot"}, {"path", "broken.png"}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        QVERIFY2(scratch.log().contains(station + place), qPrintable(scratch.log()));
    }

    void failedStepsGiveTheExitCode()
    {
        Scratch scratch;
        const QString script = scratch.writeScript(QStringLiteral("failing.json"), {
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "not what it says"}}),
            step({{"action", "find"}, {"id", "treeRow"}, {"name", "Sample welding cell"}}),
            step({{"action", "click"}, {"id", "noSuchButton"}}),
            step({{"action", "wiggle"}, {"id", "saveButton"}}),
            step({{"action", "select"}, {"row", "no such object"}}),
        }, 300);
        const Run run = scratch.zervan({QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit, qPrintable(run.describe()));
        QCOMPARE(run.exitCode, 4);
        const QStringList failures = run.withPrefix(QStringLiteral("FAIL "));
        QCOMPARE(failures.size(), 4);
        QVERIFY2(failures[0].contains(QStringLiteral("expected \"not what it says\"")), qPrintable(failures[0]));
        QVERIFY2(failures[1].contains(QStringLiteral("click noSuchButton: not found")), qPrintable(failures[1]));
        QVERIFY2(failures[2].contains(QStringLiteral("unknown action \"wiggle\"")), qPrintable(failures[2]));
        QVERIFY2(failures[3].contains(QStringLiteral("no object named \"no such object\"")), qPrintable(failures[3]));
    }

    void unreadableScriptFails()
    {
        Scratch scratch;
        const auto expectUnreadable = [](const Run& run, const QString& why) {
            QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 1, qPrintable(run.describe()));
            const QStringList failures = run.withPrefix(QStringLiteral("FAIL script"));
            QVERIFY2(failures.size() == 1 && failures[0].contains(QLatin1String(": could not read the script: ")) &&
                         failures[0].contains(why),
                     qPrintable(run.describe()));
            QVERIFY2(run.lines.last().endsWith(QLatin1String(": could not read the script")), qPrintable(run.describe()));
        };
        expectUnreadable(scratch.zervan({QStringLiteral("--gamma"), scratch.path(QStringLiteral("none.json"))}),
                         QStringLiteral("No such file"));

        const QString garbled = scratch.writeFile(QStringLiteral("garbled.json"), "{\n  \"steps\": [\n    { \"action\" \"find\" }\n");
        expectUnreadable(scratch.zervan({QStringLiteral("--gamma"), garbled}), QStringLiteral("at line 3, column "));

        // A pipe nobody writes to would block the window for good.
        const QString pipe = scratch.path(QStringLiteral("pipe.json"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        expectUnreadable(scratch.zervan({QStringLiteral("--gamma"), pipe}), QStringLiteral("not a regular file"));

        // The same pipe as the station is refused with a message in the window.
        const QString script = scratch.writeScript(QStringLiteral("fifo.json"), {
            step({{"action", "check"}, {"id", "errorText"}, {"property", "text"}, {"equals", pipe + ": error: not a regular file"}}),
        });
        const Run station = scratch.zervan({pipe, QStringLiteral("--gamma"), script});
        QVERIFY2(station.exitCode == 0, qPrintable(station.describe()));
    }

    void stepsFailAtOnceWhenNothingCanChangeAndSelectByIdChecksTheRowById()
    {
        Scratch scratch;
        // Two objects without a name: selecting one by id must check its own row.
        const auto document = sdf::SDF::ReadSdfFromFile(SAMPLE_STATION);
        const auto signal = findObject(document->Root(), 27, "signal");
        const auto link = findObject(document->Root(), 4, "link");
        QVERIFY(signal && link);
        signal->get("name")->setValueFromString("");
        link->get("name")->setValueFromString("");
        const QString station = scratch.path(QStringLiteral("unnamed.sdf"));
        document->Write(station.toStdString());

        const QString script = scratch.writeScript(QStringLiteral("final.json"), {
            step({{"action", "select"}, {"objectId", 27}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "(unnamed signal 27)"}}),
            // A double refuses "abc": that is final.
            step({{"action", "edit"}, {"field", "value"}, {"value", "abc"}}),
            step({{"action", "select"}, {"objectId", 4}}),
        }, 120000);
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 1, qPrintable(run.describe()));
        const QStringList failures = run.withPrefix(QStringLiteral("FAIL "));
        QCOMPARE(failures.size(), 1);
        QVERIFY2(failures[0].startsWith(QLatin1String("FAIL 3/4 edit value: ")) &&
                     failures[0].contains(QLatin1String("cannot hold 'abc'")),
                 qPrintable(failures[0]));
        QVERIFY2(!run.withPrefix(QStringLiteral("PASS 4/4 select object 4: row ")).isEmpty(), qPrintable(run.describe()));
    }

    void interruptedScriptExitsWith130AndSaysHowFarItGot()
    {
        Scratch scratch;
        const QString script = scratch.writeScript(QStringLiteral("long.json"), {
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"matches", "objects$"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "never shown"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "never reached"}}),
        }, 240000);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), scratch.path(QStringLiteral("data")));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(scratch.path(QString()));
        process.start(QStringLiteral(ZERVAN_EXECUTABLE), {QStringLiteral("--gamma"), script});
        QVERIFY(process.waitForStarted());
        QByteArray seen;
        while (!seen.contains("PASS 1/3") && process.state() == QProcess::Running && process.waitForReadyRead(240000))
            seen += process.readAllStandardOutput();
        QVERIFY2(seen.contains("PASS 1/3"), seen.constData());
        QCOMPARE(::kill(pid_t(process.processId()), SIGINT), 0);
        QVERIFY(process.waitForFinished(240000));
        seen += process.readAllStandardOutput();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        const QList<QByteArray> lines = seen.trimmed().split('\n');
        QVERIFY2(lines.last().endsWith(": interrupted in step 2 of 3; 0 of the steps before failed"), seen.constData());
    }

    void smokeScriptPassesOnTheSampleAndTakesAScreenshot()
    {
        Scratch scratch;
        const Run run = scratch.zervan({QStringLiteral("--size"), QStringLiteral("800x600"), QStringLiteral("--gamma"),
                                        QStringLiteral(SMOKE_SCRIPT)});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const QImage shot(scratch.path(QStringLiteral("zervan-smoke.png")));
        QCOMPARE(shot.size(), QSize(800, 600));
        // The smoke script finds a station that can not be read.
        const QString broken = scratch.writeFile(QStringLiteral("broken.sdf"), "<sdf version='1.0'>");
        const Run failing = scratch.zervan({broken, QStringLiteral("--gamma"), QStringLiteral(SMOKE_SCRIPT)});
        QVERIFY2(failing.exitCode > 0, qPrintable(failing.describe()));
    }

    // Structure edits, each checked in the saved station with the tool's
    // id check, and undone back to the bytes saved before them.
    void addsDuplicatesReparentsAndDeletesEachOneUndoStep()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), station));
        const QString script = scratch.writeScript(QStringLiteral("structure.json"), {
            step({{"action", "save"}, {"path", "original.sdf"}}),
            step({{"action", "select"}, {"objectId", 1}}),
            step({{"action", "add"}, {"kind", "part"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "part (part 87)"}}),
            step({{"action", "save"}, {"path", "added.sdf"}}),
            // Duplicate by its key in the tree: beside the tool, its link and
            // tool data along.
            step({{"action", "select"}, {"objectId", 17}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+D"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "WeldGun_MIG_22_2 (tool 88)"}}),
            step({{"action", "save"}, {"path", "duplicated.sdf"}}),
            // The fixture onto the table, staying where it is in the cell.
            step({{"action", "reparent"}, {"objectId", 21}, {"parentId", 19}}),
            step({{"action", "check"}, {"id", "fieldValue"}, {"name", "pose"}, {"property", "text"}, {"equals", "0 -150 760 1 0 0 0"}}),
            step({{"action", "save"}, {"path", "reparented.sdf"}}),
            // Deleting the table asks first, listing what refers to it.
            step({{"action", "select"}, {"objectId", 19}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Delete"}}),
            step({{"action", "check"}, {"id", "structureActions"}, {"property", "deleteDialogShown"}, {"equals", true}}),
            step({{"action", "find"}, {"id", "deleteReferenceRow"}, {"name", "/sdf/station/part[2]/parent"}}),
            step({{"action", "screenshot"}, {"path", "delete.png"}}),
            step({{"action", "click"}, {"id", "deleteClearButton"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"contains", "cleared: /sdf/station/part[2]/parent"}}),
            step({{"action", "save"}, {"path", "deleted.sdf"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "save"}, {"path", "undone-delete.sdf"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "save"}, {"path", "undone.sdf"}}),
            // Left dangling, a reference shows in the problems panel.
            step({{"action", "delete"}, {"objectId", 19}, {"references", "keep"}}),
            step({{"action", "check"}, {"id", "problemsPanel"}, {"property", "visible"}, {"equals", true}}),
            step({{"action", "find"}, {"id", "problemRow"}, {"name", "/sdf/station/task/dataitem[2]/anchor"}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.describe()));

        for (const char* name : {"added.sdf", "duplicated.sdf", "reparented.sdf", "deleted.sdf"}) {
            const auto [code, output] = validateIds(scratch.path(QLatin1String(name)));
            QVERIFY2(code == 0, qPrintable(output));
        }
        QCOMPARE(readAll(scratch.path("undone.sdf")), readAll(scratch.path("original.sdf")));
        QCOMPARE(readAll(scratch.path("undone-delete.sdf")), readAll(scratch.path("reparented.sdf")));

        const auto added = sdf::SDF::ReadSdfFromFile(scratch.path("added.sdf").toStdString())->Root()->get("station");
        QCOMPARE(added->asUInt("next_dataid"), 87u + 1u);
        const auto part = findObject(added, 87, "part");
        QVERIFY(part);
        QCOMPARE(part->asUInt("parent"), 1u);
        const auto duplicated = sdf::SDF::ReadSdfFromFile(scratch.path("duplicated.sdf").toStdString())->Root();
        // The tool brings its link: the two take the next ids.
        QVERIFY(findObject(duplicated, 89, "link"));
        QCOMPARE(findObject(duplicated, 89, "link")->asUInt("parent"), 88u);
        const auto deleted = sdf::SDF::ReadSdfFromFile(scratch.path("deleted.sdf").toStdString())->Root();
        QVERIFY(!findObject(deleted, 19, "part"));
        QCOMPARE(findObject(deleted, 21, "part")->asUInt("parent"), 0u);
    }

    // A copy taken from one station and pasted into another opened after
    // it: the references the other station can not satisfy are cleared and
    // said, and the paste undoes to the bytes of the other station.
    void pastesIntoAStationOpenedAfterTheOne()
    {
        Scratch scratch;
        const QString first = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), first));
        scratch.writeFile(QStringLiteral("other.sdf"),
                          "<sdf version='1.0'><station id='1'><next_dataid>10</next_dataid>"
                          "<part id='7'><name>Bench</name><parent>1</parent></part><child>7</child></station></sdf>");
        scratch.writeFile(QStringLiteral("bracket.stl"), "solid b\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\n"
                                                         "vertex 10 0 0\nvertex 0 10 0\nendloop\nendfacet\nendsolid b\n");
        const QString script = scratch.writeScript(QStringLiteral("paste.json"), {
            step({{"action", "select"}, {"objectId", 74}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+C"}}),
            step({{"action", "open"}, {"path", "other.sdf"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"equals", "2 objects"}}),
            step({{"action", "save"}, {"path", "other-before.sdf"}}),
            step({{"action", "paste"}, {"parentId", 7}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Weld seam 1 (operation 10)"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"contains", "cleared, no such object here: Weld seam 1/mfgid named 73"}}),
            step({{"action", "save"}, {"path", "pasted.sdf"}}),
            // A mesh file becomes a part with a body showing it.
            step({{"action", "import"}, {"path", "bracket.stl"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "bracket (part 11)"}}),
            step({{"action", "save"}, {"path", "imported.sdf"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "key"}, {"id", "stationTree"}, {"key", "Ctrl+Z"}}),
            step({{"action", "save"}, {"path", "undone.sdf"}}),
        });
        const Run run = scratch.zervan({first, QStringLiteral("--gamma"), script});
        QVERIFY2(run.status == QProcess::NormalExit && run.exitCode == 0, qPrintable(run.describe()));
        for (const char* name : {"pasted.sdf", "imported.sdf"}) {
            const auto [code, output] = validateIds(scratch.path(QLatin1String(name)));
            QVERIFY2(code == 0, qPrintable(output));
        }
        const auto imported = sdf::SDF::ReadSdfFromFile(scratch.path("imported.sdf").toStdString())->Root();
        const auto body = findObject(imported, 12, "body");
        QVERIFY(body);
        QCOMPARE(body->get("geometry/uri")->getStringFromValue(), std::string("bracket.stl"));
        QCOMPARE(body->get("geometry/file_type")->getStringFromValue(), std::string("stl"));
        QCOMPARE(readAll(scratch.path("undone.sdf")), readAll(scratch.path("other-before.sdf")));
        const auto pasted = sdf::SDF::ReadSdfFromFile(scratch.path("pasted.sdf").toStdString())->Root();
        const auto operation = findObject(pasted, 10, "operation");
        QVERIFY(operation);
        QCOMPARE(operation->asUInt("parent"), 1u);
        QCOMPARE(operation->asUInt("mfgid"), 0u);
        QCOMPARE(pasted->get("station")->asUInt("next_dataid"), 11u);
    }

    // A run whose rod goes through a plate, played back and looked up in
    // the results panel against what the command-line tool reports of the
    // same station; playback leaves the document alone, and the state saved
    // before the run is there and restores an edit made since.
    void simulationResultsPlaybackAndStateBeforeTheRun()
    {
        Scratch scratch;
        cell::test::CellSpec spec;
        spec.instructions = cell::test::Move(60, "Movej", cell::test::Down(800, 0, 600)) +
                            cell::test::Move(70, "Movel", cell::test::Down(800, 0, 300));
        const QString station =
            scratch.writeFile(QStringLiteral("cell.sdf"), QByteArray::fromStdString(cell::test::StationText(QDir(scratch.path(".")).absolutePath().toStdString(), spec)));

        QProcess tool;
        tool.start(QStringLiteral(SDFTOOL_EXECUTABLE), {QStringLiteral("simulate"), QStringLiteral("--json"), station});
        QVERIFY(tool.waitForFinished(120000));
        QCOMPARE(tool.exitCode(), 1); // the collision
        const QJsonObject expected = QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
        const QJsonObject path = expected["paths"].toArray().at(0).toObject();
        const QJsonArray events = expected["events"].toArray();
        int collision = -1;
        for (int i = 0; i < events.size() && collision < 0; ++i)
            if (events[i].toObject()["kind"].toString() == "collision")
                collision = i;
        QVERIFY2(collision >= 0, tool.readAllStandardError().constData());
        const QJsonObject hit = events[collision].toObject();
        QCOMPARE(hit["instruction"].toInt(), 70);
        const auto seconds = [](double value) { return QString::number(value, 'f', 3) + " s"; };

        const QString played = scratch.path(QStringLiteral("played.sdf"));
        const QString saved = scratch.path(QStringLiteral("saved.sdf"));
        const QString named = scratch.path(QStringLiteral("named.sdf"));
        const QString rowName = QStringLiteral("event/%1").arg(collision);
        const QString script = scratch.writeScript(QStringLiteral("simulate.json"), {
            step({{"action", "simulate"}, {"to", 0.25}, {"speed", 2}}),
            step({{"action", "check"}, {"id", "simulationTime"}, {"property", "text"}, {"equals", seconds(0.25) + " / " + seconds(expected["duration"].toDouble())}}),
            step({{"action", "check"}, {"id", "speedBox"}, {"property", "displayText"}, {"equals", "2\u00d7"}}),
            step({{"action", "check"}, {"id", "simulationNow"}, {"property", "text"}, {"matches", "^\\S+: path P, instruction 60$"}}),
            step({{"action", "check"}, {"id", "cellView"}, {"property", "collidingMeshes"}, {"equals", QJsonArray{}}}),
            step({{"action", "check"}, {"id", "cycleTimeText"}, {"property", "text"}, {"contains", "path P: " + seconds(path["cycleTime"].toDouble())}}),
            step({{"action", "check"}, {"id", "simulationEventRow"}, {"name", rowName}, {"property", "text"}, {"matches", "^" + seconds(hit["time"].toDouble()) + "\\s+collision\\s+instruction 70\\s+objects 31 / 5\\s+depth \\d+\\.\\d mm"}}),
            step({{"action", "click"}, {"id", "stopButton"}}),
            step({{"action", "click"}, {"id", "stepButton"}}),
            step({{"action", "check"}, {"id", "simulationTime"}, {"property", "text"}, {"contains", seconds(0.1) + " / "}}),
            step({{"action", "click"}, {"id", "simulationEventRow"}, {"name", rowName}}),
            step({{"action", "check"}, {"id", "simulationTime"}, {"property", "text"}, {"contains", seconds(hit["time"].toDouble()) + " / "}}),
            step({{"action", "check"}, {"id", "timeSlider"}, {"property", "value"}, {"equals", hit["time"].toDouble()}}),
            // The rod and the plate, drawn by their meshes, turn red there.
            step({{"action", "check"}, {"id", "simulationNow"}, {"property", "text"}, {"matches", "^\\S+: path P, instruction 70$"}}),
            step({{"action", "check"}, {"id", "cellView"}, {"property", "collidingMeshes"}, {"equals", QJsonArray{31, 5}}}),
            step({{"action", "save"}, {"path", played}}),
            // An edit after the run, which restoring the state takes back.
            step({{"action", "select"}, {"objectId", 20}}),
            step({{"action", "edit"}, {"field", "value"}, {"value", "30"}}),
            // Kept as a state of its own, besides the one before the run.
            step({{"action", "click"}, {"id", "statesButton"}}),
            step({{"action", "click"}, {"id", "saveStateItem"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"contains", "Saved state State 2 as "}}),
            step({{"action", "click"}, {"id", "restoreStateButton"}}),
            step({{"action", "check"}, {"id", "statusText"}, {"property", "text"}, {"contains", "Restored state"}}),
            step({{"action", "save"}, {"path", saved}}),
            step({{"action", "state"}, {"restore", "State 2"}}),
            step({{"action", "save"}, {"path", named}}),
            // Another station forgets the run.
            step({{"action", "open"}, {"path", QStringLiteral(SAMPLE_STATION)}}),
            step({{"action", "check"}, {"id", "simulationTime"}, {"property", "text"}, {"equals", "0.000 s / 0.000 s"}, {"timeout", 60000}}),
            step({{"action", "check"}, {"id", "simulationEventList"}, {"property", "count"}, {"equals", 0}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));

        // Played back, and after the edit was restored: the joints as read,
        // and one automatic state.
        const auto before = sdf::SDF::ReadSdfFromFile(station.toStdString())->Root();
        for (const QString& file : {played, saved}) {
            const auto after = sdf::SDF::ReadSdfFromFile(file.toStdString())->Root();
            for (unsigned joint = 20; joint < 26; ++joint)
                QCOMPARE(findObject(after, joint, "joint")->get("value")->getStringFromValue(),
                         findObject(before, joint, "joint")->get("value")->getStringFromValue());
            int autoSaved = 0;
            for (const auto& state : after->get("station")->get("simulation")->children("state"))
                autoSaved += state->get("auto_saved")->getStringFromValue() == "true";
            QCOMPARE(autoSaved, 1);
        }
        // The named state holds the edit, and restoring it gives it back.
        const auto restored = sdf::SDF::ReadSdfFromFile(named.toStdString())->Root();
        int states = 0;
        bool kept = false;
        for (const auto& state : restored->get("station")->get("simulation")->children("state")) {
            ++states;
            kept |= state->get("name")->getStringFromValue() == "State 2" &&
                    state->get("auto_saved")->getStringFromValue() == "false";
        }
        QCOMPARE(states, 2);
        QVERIFY(kept);
        QCOMPARE(std::round(std::stod(findObject(restored, 20, "joint")->get("value")->getStringFromValue()) * 180 /
                            3.14159265358979323846),
                 30.0);
    }
    // A scenario that does not exist fails the step with the library's
    // reason; the state saved before it is one step that Undo takes back.
    void simulationOfAMissingScenarioFailsAndItsSavedStateIsOneUndoStep()
    {
        Scratch scratch;
        const QString station = scratch.path(QStringLiteral("cell.sdf"));
        QVERIFY(QFile::copy(QStringLiteral(SAMPLE_STATION), station));
        const QString original = scratch.path(QStringLiteral("original.sdf"));
        const QString tried = scratch.path(QStringLiteral("tried.sdf"));
        const QString undone = scratch.path(QStringLiteral("undone.sdf"));
        const QString script = scratch.writeScript(QStringLiteral("missing.json"), {
            step({{"action", "save"}, {"path", original}}),
            step({{"action", "simulate"}, {"scenario", "Nowhere"}}),
            step({{"action", "check"}, {"id", "simulationError"}, {"property", "text"}, {"equals", "no simulation scenario 'Nowhere'"}}),
            step({{"action", "check"}, {"id", "playButton"}, {"property", "enabled"}, {"equals", false}}),
            step({{"action", "save"}, {"path", tried}}),
            step({{"action", "click"}, {"id", "undoButton"}}),
            step({{"action", "save"}, {"path", undone}}),
        });
        const Run run = scratch.zervan({station, QStringLiteral("--gamma"), script});
        QCOMPARE(run.exitCode, 1);
        const QStringList failed = run.withPrefix(QStringLiteral("FAIL"));
        QVERIFY2(failed.size() == 1 && failed[0].startsWith(QLatin1String("FAIL 2/7 simulate \"Nowhere\" to end: no simulation scenario 'Nowhere'")),
                 qPrintable(run.describe()));
        const auto autoStates = [](const QString& file) {
            int count = 0;
            const auto root = sdf::SDF::ReadSdfFromFile(file.toStdString())->Root();
            for (const auto& state : root->get("station")->get("simulation")->children("state"))
                count += state->get("auto_saved")->getStringFromValue() == "true";
            return count;
        };
        // The sample has an automatic state: the run renews it, not adds one.
        QCOMPARE(autoStates(tried), 1);
        QVERIFY(readAll(tried) != readAll(original));
        QCOMPARE(readAll(undone), readAll(original));
    }
};

QTEST_GUILESS_MAIN(CorePluginTest)
#include "CorePluginTest.moc"
