// The robot's automation actions end to end on the offscreen platform: the
// robot goes to a target, a target is taught and an operation's path is
// generated, and what is saved is read back with the library and checked
// with sdftool and the kinematics of the cell library.
#include "cell/CellKinematics.h"

#include <sdformat/Element.h>
#include <sdformat/SDF.h>

#include <zrvrob/RobTarget.h>

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtTest/QtTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

using ElementPtr = std::shared_ptr<sdf::Element>;

struct Run
{
    int exitCode = -1;
    QStringList lines;
    QString err;
    QString describe() const
    {
        return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(exitCode).arg(lines.join('\n'), err.right(3000));
    }
    // The value a passed check of step `number` reported.
    QString checked(int number) const
    {
        const QRegularExpression pattern(QStringLiteral("^PASS %1/\\d+ check [^:]*: \"?(.*?)\"?$").arg(number));
        for (const QString& line : lines)
            if (const auto match = pattern.match(line); match.hasMatch())
                return match.captured(1);
        return {};
    }
};

class Scratch
{
public:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& content) const
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(file.fileName()));
        return file.fileName();
    }
    Run run(const QString& program, const QStringList& args) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(program, args);
        Run run;
        if (!process.waitForStarted() || !process.waitForFinished(300000)) {
            process.kill();
            process.waitForFinished();
            run.err = QStringLiteral("did not run to its end");
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.lines = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }
    Run zervan(const QString& station, const QJsonArray& steps) const
    {
        const QString script =
            write(QStringLiteral("script.json"), QJsonDocument(QJsonObject{{"timeout", 10000}, {"steps", steps}}).toJson());
        return run(QStringLiteral(ZERVAN_EXECUTABLE), {station, QStringLiteral("--gamma"), script});
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

ElementPtr FindId(const ElementPtr& element, unsigned id)
{
    if (element->getId(false) == id)
        return element;
    for (const auto& child : element->elements())
        if (auto found = FindId(child, id))
            return found;
    return nullptr;
}

std::vector<double> JointValues(const ElementPtr& robot)
{
    std::vector<double> values;
    for (const auto& joint : robot->children("joint"))
        values.push_back(std::stod(joint->get("value")->getStringFromValue()));
    return values;
}

std::vector<ElementPtr> Instructions(const ElementPtr& path)
{
    std::vector<ElementPtr> out;
    for (const auto& instruction : path->children("instruction"))
        out.push_back(instruction);
    return out;
}

std::string TextOf(const ElementPtr& argument)
{
    return argument->get("value")->getStringFromValue();
}

std::string NameOf(const ElementPtr& object)
{
    return object->get("name")->getStringFromValue();
}

} // namespace

class RobotActionsTest : public QObject
{
    Q_OBJECT

private slots:
    // Instruction 61 of the sample moves to 150 -150 10 in the work object
    // tableTop; path 42 holds it; 83 is the largest id of the sample.
    void goesToATargetTeachesOneThereAndUndoesTheTeaching()
    {
        Scratch scratch;
        const Run run = scratch.zervan(QStringLiteral(SAMPLE_STATION),
                                       {
                                           step({{"action", "goToTarget"}, {"objectId", 61}}),
                                           step({{"action", "teach"}, {"pathId", 42}}),
                                           step({{"action", "save"}, {"path", "taught.sdf"}}),
                                           step({{"action", "click"}, {"id", "undoButton"}}),
                                           step({{"action", "save"}, {"path", "undone.sdf"}}),
                                           step({{"action", "teach"}, {"pathId", 999}}),
                                       });
        // The last step names no path: it fails, and only it.
        QVERIFY2(run.exitCode == 1 && run.lines.filter(QStringLiteral("FAIL 6/6 teach in path 999: No path has id 999")).size() == 1,
                 qPrintable(run.describe()));

        const auto sample = sdf::SDF::ReadSdfFromFile(SAMPLE_STATION);
        const cell::CellKinematics kinematics(sample->Root());
        std::vector<double> expected;
        cell::RigidTransform targetWorld;
        for (const auto& reach : kinematics.reachAll())
            if (reach.instruction == 61) {
                expected = reach.joints;
                targetWorld = reach.world;
            }
        QCOMPARE(expected.size(), std::size_t(6));

        const auto taught = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("taught.sdf")).toStdString());
        const ElementPtr root = taught->Root();
        const std::vector<double> joints = JointValues(FindId(root, 2));
        QCOMPARE(joints.size(), expected.size());
        for (std::size_t k = 0; k < joints.size(); ++k)
            QVERIFY2(std::abs(joints[k] - expected[k]) < 1e-9, qPrintable(QString::number(k)));

        // A Movel at the end of the path to a new robtarget item with the
        // arguments of the move before it, every id fresh.
        const std::vector<ElementPtr> moves = Instructions(FindId(root, 42));
        QCOMPARE(moves.size(), std::size_t(6));
        const ElementPtr move = moves.back();
        QCOMPARE(NameOf(move), std::string("Movel"));
        QVERIFY(move->getId(false) > 83);
        std::vector<std::string> arguments;
        for (const auto& argument : move->children("argument")) {
            QVERIFY(argument->getId(false) > 83);
            arguments.push_back(NameOf(argument) + "=" + TextOf(argument));
        }
        std::vector<std::string> before;
        for (const auto& argument : moves[4]->children("argument"))
            before.push_back(NameOf(argument) + "=" + TextOf(argument));
        QCOMPARE(arguments.size(), before.size());
        QCOMPARE(arguments.front(), std::string("target=Seam1_T1"));
        QVERIFY(std::equal(before.begin() + 1, before.end(), arguments.begin() + 1));
        ElementPtr item;
        for (const auto& data : FindId(root, 28)->children("dataitem"))
            if (NameOf(data) == "Seam1_T1")
                item = data;
        QVERIFY(item && item->getId(false) > 83);
        zrv::rob::RobTarget target;
        QVERIFY(zrv::rob::ReadFromText(item->get("value")->getStringFromValue(), target));
        // The same place in the same work object and configuration as the
        // target the robot went to.
        QVERIFY2(std::abs(target.trans.x - 150) < 1e-6 && std::abs(target.trans.y + 150) < 1e-6 &&
                     std::abs(target.trans.z - 10) < 1e-6,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(target.trans.x).arg(target.trans.y).arg(target.trans.z)));
        QVERIFY(std::abs(std::abs(target.rot.y) - 1) < 1e-9);
        QVERIFY(target.robconf.cf1 == -1 && target.robconf.cf4 == 0 && target.robconf.cf6 == -1 && target.robconf.cfx == 0);
        const Run validate = scratch.run(QStringLiteral(SDFTOOL_EXECUTABLE),
                                         {QStringLiteral("validate"), QStringLiteral("--ids"), scratch.path("taught.sdf")});
        QVERIFY2(validate.exitCode == 0, qPrintable(validate.describe()));
        const Run reach = scratch.run(QStringLiteral(SDFTOOL_EXECUTABLE), {QStringLiteral("reach"), scratch.path("taught.sdf")});
        QVERIFY2(reach.exitCode == 0 && reach.lines.last().endsWith(QStringLiteral("#%1 target: reachable").arg(move->getId(false))),
                 qPrintable(reach.describe()));

        // Undo takes back the target and the move, not the robot's pose.
        const auto undone = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("undone.sdf")).toStdString());
        QCOMPARE(Instructions(FindId(undone->Root(), 42)).size(), std::size_t(5));
        QVERIFY(!FindId(undone->Root(), item->getId(false)));
        QVERIFY(JointValues(FindId(undone->Root(), 2)) == joints);
    }

    // With the seam's shape as points, the sample's operation generates a
    // path whose unreachable targets join the problems; undo takes it back.
    // The angle's operation names an edge of a STEP body, which the window
    // hands to generation from the files it has read.
    void generatesAnOperationsPathWithItsReach()
    {
        Scratch scratch;
        QFile sample(QStringLiteral(SAMPLE_STATION));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray text = sample.readAll();
        const QByteArray brep = "<uri>features/seam_1.brep</uri>\n                    <file_type>brep</file_type>";
        QVERIFY(text.contains(brep));
        text.replace(brep, "<uri>seam.xyz</uri><file_type>xyz</file_type>");
        // The meshes stay beside the sample.
        const QString meshes = QFileInfo(QStringLiteral(SAMPLE_STATION)).absolutePath() + QStringLiteral("/meshes/");
        text.replace("<uri>meshes/", "<uri>" + QFile::encodeName(meshes));
        const QString cad = QFileInfo(QStringLiteral(SAMPLE_STATION)).absolutePath() + QStringLiteral("/geometry/");
        text.replace("<uri>geometry/", "<uri>" + QFile::encodeName(cad));
        scratch.write(QStringLiteral("seam.xyz"), "0 0 0\n300 0 0\n");
        const QString station = scratch.write(QStringLiteral("seam.sdf"), text);
        const Run run = scratch.zervan(station, {
                                                    step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"equals", 0}}),
                                                    step({{"action", "generate"}, {"operationId", 74}}),
                                                    step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"matches", "^[1-9]"}}),
                                                    step({{"action", "save"}, {"path", "generated.sdf"}}),
                                                    step({{"action", "click"}, {"id", "undoButton"}}),
                                                    step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"equals", 0}}),
                                                    step({{"action", "save"}, {"path", "undone.sdf"}}),
                                                    // The angle's weld runs along an edge of its STEP body.
                                                    step({{"action", "generate"}, {"operationId", 86}}),
                                                    step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"equals", 0}}),
                                                });
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const int listed = run.checked(3).toInt();

        const Run reach = scratch.run(QStringLiteral(SDFTOOL_EXECUTABLE), {QStringLiteral("reach"), scratch.path("generated.sdf")});
        const QStringList unreached = reach.lines.filter(QRegularExpression(QStringLiteral(": (?!reachable$)")));
        QVERIFY2(reach.exitCode == 1 && unreached.size() == listed, qPrintable(reach.describe() + QString::number(listed)));
        const QString report = run.lines.filter(QStringLiteral("PASS 2/9 generate operation 74")).value(0);
        QVERIFY2(report.contains(QStringLiteral("%1 unreachable").arg(listed)), qPrintable(run.describe()));
        const Run validate = scratch.run(QStringLiteral(SDFTOOL_EXECUTABLE),
                                         {QStringLiteral("validate"), QStringLiteral("--ids"), scratch.path("generated.sdf")});
        QVERIFY2(validate.exitCode == 0, qPrintable(validate.describe()));

        const auto generated = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("generated.sdf")).toStdString());
        const unsigned pathId = static_cast<unsigned>(std::stoul(FindId(generated->Root(), 74)->get("pathid")->getStringFromValue()));
        const ElementPtr path = FindId(generated->Root(), pathId);
        QVERIFY(path && path->label() == "path" && Instructions(path).size() > 2);
        const auto undone = sdf::SDF::ReadSdfFromFile(scratch.path(QStringLiteral("undone.sdf")).toStdString());
        QVERIFY(!FindId(undone->Root(), pathId));
        const QString angle = run.lines.filter(QStringLiteral("PASS 8/9 generate operation 86")).value(0);
        QVERIFY2(angle.contains(QRegularExpression(QStringLiteral("[1-9][0-9]* targets.*, 0 unreachable"))), qPrintable(run.describe()));
    }
};

QTEST_GUILESS_MAIN(RobotActionsTest)
#include "RobotActionsTest.moc"
