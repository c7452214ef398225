// The Core plug-in's 3D view as a person sees it, run under a virtual X
// display with Mesa's software OpenGL (the ctest entry wraps it in
// xvfb-run): picking selects, the selection colour appears where the object
// is drawn, moving a joint moves the links after it and not those before;
// a STEP part is drawn from its own triangles where the station puts it,
// every body of it, and a Shift+click on it names a face and edge that an
// operation takes; hiding paths and hovering over a part;
// on Qt's offscreen platform a notice stands in for the view.
#include <BRepPrimAPI_MakeBox.hxx>
#include <Quantity_Color.hxx>
#include <STEPCAFControl_Writer.hxx>
#include <TDocStd_Document.hxx>
#include <XCAFApp_Application.hxx>
#include <XCAFDoc_ColorTool.hxx>
#include <XCAFDoc_DocumentTool.hxx>
#include <XCAFDoc_ShapeTool.hxx>

#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>
#include <QtCore/QJsonObject>
#include <QtCore/QProcess>
#include <QtCore/QRegularExpression>
#include <QtCore/QTemporaryDir>
#include <QtGui/QColor>
#include <QtGui/QImage>
#include <QtGui/QVector3D>
#include <QtTest/QtTest>

#include <cmath>

#include <sys/stat.h>

#include <map>
#include <utility>
#include <array>
#include <cmath>

namespace {

struct Run
{
    int exitCode = -1;
    QStringList lines;
    QString err;
    QString describe() const
    {
        return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(exitCode).arg(lines.join('\n'), err.right(3000));
    }
};

// A point of the station (mm) for a `measure` step.
QJsonObject point(double x, double y, double z)
{
    return QJsonObject{{"point", QJsonArray{x, y, z}}};
}

QJsonObject step(std::initializer_list<std::pair<QString, QJsonValue>> fields)
{
    QJsonObject result;
    for (const auto& [key, value] : fields)
        result.insert(key, value);
    return result;
}

class Scratch
{
public:
    QString path(const QString& name) const { return dir.filePath(name); }

    Run zervan(const QJsonArray& steps, const QString& platform,
               const QString& station = QStringLiteral(SAMPLE_STATION)) const
    {
        QFile script(path(QStringLiteral("script.json")));
        if (!script.open(QIODevice::WriteOnly))
            qFatal("cannot write the script");
        script.write(QJsonDocument(QJsonObject{{"timeout", 20000}, {"steps", steps}}).toJson());
        script.close();
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        env.remove(QStringLiteral("QT_QUICK_BACKEND"));
        // The X client libraries read strings past their end and Mesa's
        // driver keeps its memory to the end: checks of this program's own
        // memory are the business of the offscreen tests.
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":strict_string_checks=0:detect_leaks=0"));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());
        process.start(QStringLiteral(ZERVAN_EXECUTABLE),
                      {station, QStringLiteral("--size"), QStringLiteral("1200x800"),
                       QStringLiteral("--gamma"), script.fileName()});
        Run run;
        if (!process.waitForStarted() || !process.waitForFinished(600000)) {
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

private:
    QTemporaryDir dir;
};

// Writes a file into the scratch directory.
void Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Where the pick of step `number` clicked, from its report line.
QPoint PickedAt(const Run& run, int number)
{
    static const QRegularExpression at(QStringLiteral("^PASS %1/\\d+ .*at \\((\\d+), (\\d+)\\) in the window"));
    const QRegularExpression pattern(at.pattern().arg(number));
    for (const QString& line : run.lines) {
        const auto match = pattern.match(line);
        if (match.hasMatch())
            return {match.captured(1).toInt(), match.captured(2).toInt()};
    }
    return {-1, -1};
}

// The mean colour of the 5x5 pixels around p.
QColor Around(const QImage& image, QPoint p)
{
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            const QColor c = image.pixelColor(p.x() + dx, p.y() + dy);
            r += c.red();
            g += c.green();
            b += c.blue();
            ++n;
        }
    }
    return QColor(int(r / n), int(g / n), int(b / n));
}

// The selection colour (a magenta) shows through: red and blue well above
// green.
// Red and blue well above green: the selection's tint, also where it lies
// thin over a dark shape (grey and the links' orange are far from it).
bool Magenta(const QColor& c)
{
    return c.red() - c.green() > 40 && c.blue() - c.green() > 40;
}

int Distance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The pixels of an area in the first edge's arrow colour (a dark violet,
// far from the shapes' greys, the pick's blue and the selection's magenta),
// and where they centre.
struct ArrowArea
{
    int count = 0;
    QPointF centre;
};
ArrowArea ArrowPixels(const QImage& image, const QRect& area)
{
    ArrowArea found;
    const QRect inside = area.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (Distance(image.pixelColor(x, y), QColor(0x40, 0x10, 0x7a)) < 40) {
                ++found.count;
                found.centre += QPointF(x, y);
            }
    if (found.count > 0)
        found.centre /= found.count;
    return found;
}

} // namespace

class CellViewTest : public QObject
{
    Q_OBJECT

private slots:
    void picksHighlightsAndMovesWhatAPersonSees()
    {
        Scratch scratch;
        const QJsonArray steps{
            step({{"action", "check"}, {"id", "cellView"}, {"property", "available"}, {"equals", true}}),
            // The station opens on the camera it was saved with.
            step({{"action", "check"}, {"id", "cellView"}, {"property", "cameraPlace"}, {"equals", "-1690 -2330 3020"}}),
            step({{"action", "screenshot"}, {"path", "start.png"}}),
            // 3: the robot's base, 4: its forearm, 5: the table, 6: the first
            // target of the path, which stands for its instruction.
            step({{"action", "pick"}, {"objectId", 3}, {"expect", 3}}),
            step({{"action", "screenshot"}, {"path", "base.png"}}),
            step({{"action", "pick"}, {"objectId", 7}, {"expect", 7}}),
            step({{"action", "pick"}, {"objectId", 19}, {"expect", 19}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Table (part 19)"}}),
            step({{"action", "pick"}, {"objectId", 43}, {"expect", 43}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Movej (instruction 43)"}}),
            // A joint has no shape: nothing is outlined while it is moved.
            step({{"action", "select"}, {"row", "joint_2"}}),
            step({{"action", "screenshot"}, {"path", "before.png"}}),
            // Joint values are typed in degrees (kept in radians).
            step({{"action", "edit"}, {"field", "value"}, {"value", "46"}}),
            step({{"action", "screenshot"}, {"path", "after.png"}}),
            step({{"action", "edit"}, {"field", "value"}, {"value", "0"}}),
            step({{"action", "screenshot"}, {"path", "back.png"}}),
            // The station's view point "Front", and a standard view.
            step({{"action", "fit"}, {"viewPoint", 83}}),
            step({{"action", "check"}, {"id", "cellView"}, {"property", "cameraPlace"}, {"equals", "-2500 0 1500"}}),
            step({{"action", "fit"}, {"what", "top"}}),
            step({{"action", "check"}, {"id", "cellView"}, {"property", "cameraPlace"}, {"matches", "^-?\\d+ -?\\d+ \\d{4,}$"}}),
            // The floor grid's step, a round length for a cell of this size.
            step({{"action", "check"}, {"id", "gridLabel"}, {"property", "text"}, {"equals", "Grid 250 mm"}}),
            // Seen from above, the view's left edge (below the bar) is empty floor: a
            // click there clears the selection.
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"notEquals", ""}}),
            step({{"action", "pick"}, {"x", 8}, {"y", 150}, {"expect", 0}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", ""}}),
        };
        const Run run = scratch.zervan(steps, QStringLiteral("xcb"));
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));

        const QPoint base = PickedAt(run, 4);
        const QPoint forearm = PickedAt(run, 6);
        QVERIFY2(base.x() >= 0 && forearm.x() >= 0, qPrintable(run.describe()));
        const QImage start(scratch.path(QStringLiteral("start.png")));
        const QImage picked(scratch.path(QStringLiteral("base.png")));
        const QImage before(scratch.path(QStringLiteral("before.png")));
        const QImage after(scratch.path(QStringLiteral("after.png")));
        const QImage back(scratch.path(QStringLiteral("back.png")));
        QVERIFY(!start.isNull() && !picked.isNull() && !before.isNull() && !after.isNull() && !back.isNull());

        // The base is drawn where the pick found it, in the selection
        // colour once picked and not before.
        QVERIFY2(!Magenta(Around(start, base)), qPrintable(Around(start, base).name()));
        QVERIFY2(Magenta(Around(picked, base)), qPrintable(Around(picked, base).name()));
        // The base is drawn where the pick found it: not the background.
        const QColor background = Around(start, QPoint(base.x(), 120));
        QVERIFY2(Distance(Around(start, base), background) > 30, qPrintable(Around(start, base).name()));

        // The shoulder joint leaves the base where it was and swings the
        // forearm away; turned back, the forearm is where it was.
        QVERIFY2(Distance(Around(before, base), Around(after, base)) < 12,
                 qPrintable(Around(before, base).name() + " " + Around(after, base).name()));
        QVERIFY2(Distance(Around(before, forearm), Around(after, forearm)) > 60,
                 qPrintable(Around(before, forearm).name() + " " + Around(after, forearm).name()));
        QVERIFY2(Distance(Around(before, forearm), Around(back, forearm)) < 12,
                 qPrintable(Around(before, forearm).name() + " " + Around(back, forearm).name()));
    }

    // With the view drawing, geometry that would hang the mesh loader (a
    // buffer that is a pipe, 40,000 nodes) or crash it (200,000 nested
    // brackets) never reaches it: the window opens, lists the three, and
    // answers.
    void hostileGeometryNeverReachesTheLoader()
    {
        Scratch scratch;
        QVERIFY(::mkfifo(QFile::encodeName(scratch.path(QStringLiteral("pipe.bin"))).constData(), 0600) == 0);
        Write(scratch.path(QStringLiteral("pipe.gltf")), R"({"asset":{"version":"2.0"},"buffers":[{"uri":"pipe.bin"}]})");
        Write(scratch.path(QStringLiteral("deep.gltf")), QByteArray(200000, '['));
        QByteArray nodes = R"({"asset":{"version":"2.0"},"nodes":[{})";
        for (int i = 0; i < 40000; ++i)
            nodes += ",{}";
        Write(scratch.path(QStringLiteral("nodes.gltf")), nodes + "]}");
        const QString station = scratch.path(QStringLiteral("meshes.sdf"));
        Write(station, R"(<sdf version='1.0'><station id='1'><name>Cell</name>
            <part id='2'><name>Piped</name><uri>pipe.gltf</uri></part>
            <part id='3'><name>Deep</name><uri>deep.gltf</uri><pose>500 0 0 1 0 0 0</pose></part>
            <part id='4'><name>Crowded</name><uri>nodes.gltf</uri><pose>1000 0 0 1 0 0 0</pose></part>
            </station></sdf>)");
        const Run run = scratch.zervan(
            {
                step({{"action", "check"}, {"id", "problemList"}, {"property", "count"}, {"equals", 3}}),
                step({{"action", "edit"}, {"field", "name"}, {"value", "Cell 2"}}),
                step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Cell 2 (station 1)"}}),
            },
            QStringLiteral("xcb"), station);
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    }

    // The sample with its bracket as a red STEP solid and the table's mesh
    // gone: the bracket shows in its file's colour where the station puts it
    // and a click there picks it by its triangles (the view's box pick
    // leaves loaded meshes to them); the table is a placeholder block and
    // the problems panel says why.
    // Then edges, in the same window: a Shift+click beside the middle of an
    // edge of the STEP angle names that face and edge and tints the face;
    // added to the weld operation it is stored as the operation's second
    // edge and one undo takes it back. A mesh (the robot's base), a body of
    // another part (the bracket) and an edge the operation has are refused.
    // The operation's own edge, picked, turns round with Reverse: its arrows
    // in the view, the pick's words, the file and the generated path. While
    // picking, the face under the pointer is tinted before a click.
    // The bracket has a second body, a green cap on its top in a file of its
    // own: both are drawn, the cap above the bracket, and a click on the
    // selected part selects the body under the pointer, and a Shift+click
    // on the cap names the cap's face and edge. Hiding the paths
    // takes the program's lines off the screen, leaves the bracket as it
    // was, and saves the same bytes; resting the pointer on a body names it.
    void drawsAStepPartFromItsTrianglesWhereTheStationPutsIt()
    {
        Scratch scratch;
        const QString bracket = scratch.path(QStringLiteral("bracket.step"));
        const QString cap = scratch.path(QStringLiteral("cap.step"));
        const auto box = [](const QString& file, const gp_Pnt& corner, double dx, double dy, double dz,
                            const Quantity_Color& colour) {
            Handle(TDocStd_Document) document;
            XCAFApp_Application::GetApplication()->NewDocument("MDTV-XCAF", document);
            const TDF_Label label = XCAFDoc_DocumentTool::ShapeTool(document->Main())
                                        ->AddShape(BRepPrimAPI_MakeBox(corner, dx, dy, dz).Shape(), false);
            XCAFDoc_DocumentTool::ColorTool(document->Main())->SetColor(label, colour, XCAFDoc_ColorSurf);
            STEPCAFControl_Writer writer;
            const bool written = writer.Transfer(document, STEPControl_AsIs) &&
                                 writer.Write(QFile::encodeName(file).constData()) == IFSelect_RetDone;
            XCAFApp_Application::GetApplication()->Close(document);
            return written;
        };
        QVERIFY(box(bracket, gp_Pnt(-150, -60, 0), 300, 120, 120, Quantity_Color(1, 0, 0, Quantity_TOC_sRGB)));
        QVERIFY(box(cap, gp_Pnt(-100, -40, 120), 200, 80, 30, Quantity_Color(0, 0.8, 0, Quantity_TOC_sRGB)));
        QFile sample(QStringLiteral(SAMPLE_STATION));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QByteArray text = sample.readAll();
        const QByteArray gltf = "<uri>meshes/bracket.gltf</uri>\n                    <file_type>gltf</file_type>";
        QVERIFY(text.contains(gltf));
        text.replace(gltf, "<uri>" + QFile::encodeName(bracket) + "</uri><file_type>step</file_type>");
        const QByteArray bracketBody = "<child>22</child>";
        QVERIFY(text.contains(bracketBody) && text.contains("<next_dataid>87</next_dataid>"));
        text.replace(bracketBody, bracketBody + "<body id='87'><name>Cap</name><parent>21</parent><geometry><uri>" +
                                      QFile::encodeName(cap) + "</uri><file_type>step</file_type></geometry></body>"
                                      "<child>87</child>");
        text.replace("<next_dataid>87</next_dataid>", "<next_dataid>88</next_dataid>");
        text.replace("<uri>meshes/table.gltf</uri>", "<uri>gone/table.stl</uri>");
        const QString meshes = QFileInfo(QStringLiteral(SAMPLE_STATION)).absolutePath() + QStringLiteral("/meshes/");
        text.replace("<uri>meshes/", "<uri>" + QFile::encodeName(meshes));
        text.replace("<uri>geometry/", "<uri>" + QFile::encodeName(meshes + QStringLiteral("../geometry/")));
        const QString station = scratch.path(QStringLiteral("step.sdf"));
        Write(station, text);
        const Run run = scratch.zervan(
            {
                step({{"action", "check"}, {"id", "problemRow"}, {"name", "geometry/19"}, {"property", "text"},
                      {"equals", "geometry not loaded: " + scratch.path(QStringLiteral("gone/table.stl")) + " does not exist"}}),
                step({{"action", "screenshot"}, {"path", "start.png"}}),
                step({{"action", "pick"}, {"objectId", 21}, {"expect", 21}}),
                step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Bracket & Gusset <L> (part 21)"}}),
                step({{"action", "pick"}, {"objectId", 3}, {"mode", "edge"}}),
                step({{"action", "addPickedEdge"}, {"operationId", 86}, {"refused", "base_link: a mesh has no edges"}}),
                step({{"action", "pickEdge"}, {"body", 22}, {"face", 0}, {"edge", 0}}),
                step({{"action", "addPickedEdge"}, {"operationId", 86},
                      {"refused", "Body 22 is on Bracket & Gusset <L>, not on Angle 200, the part operation 'Weld angle corner' works on"}}),
                step({{"action", "select"}, {"objectId", 84}}),
                step({{"action", "fit"}, {"what", "selection"}}),
                step({{"action", "select"}, {"objectId", 86}}),
                step({{"action", "save"}, {"path", "before.sdf"}}),
                step({{"action", "screenshot"}, {"path", "before.png"}}),
                // 14: the click on the edge.
                step({{"action", "pickEdge"}, {"body", 85}, {"face", 2}, {"edge", 0}, {"click", true}}),
                step({{"action", "screenshot"}, {"path", "picked.png"}}),
                step({{"action", "click"}, {"id", "addPickedEdgeButton"}}),
                step({{"action", "addPickedEdge"}, {"operationId", 86},
                      {"refused", "Operation 'Weld angle corner' follows that edge already (its edge 2: body 85, face 2, edge 0)"}}),
                step({{"action", "check"}, {"id", "fieldGroupHeading"}, {"name", "process_edgeoperation/edge[2]"},
                      {"property", "visible"}, {"equals", true}}),
                step({{"action", "save"}, {"path", "added.sdf"}}),
                step({{"action", "click"}, {"id", "undoButton"}}),
                step({{"action", "save"}, {"path", "undone.sdf"}}),
                // The angle, turned half a turn about z, dragged by its own x
                // arrow 93 mm with a 50 mm snap, then 25 mm up typed in.
                step({{"action", "fit"}, {"what", "all"}}),
                step({{"action", "select"}, {"objectId", 84}}),
                step({{"action", "set"}, {"id", "snapStep"}, {"property", "text"}, {"value", "50"}}),
                step({{"action", "drag"}, {"handle", "x"}, {"distance", 93}, {"frame", "object"}}),
                step({{"action", "set"}, {"id", "moveAxis"}, {"property", "currentIndex"}, {"value", 2}}),
                step({{"action", "set"}, {"id", "moveDistance"}, {"property", "text"}, {"value", "25"}}),
                step({{"action", "key"}, {"id", "moveDistance"}, {"key", "Return"}}),
                step({{"action", "save"}, {"path", "moved.sdf"}}),
                step({{"action", "click"}, {"id", "undoButton"}}),
                step({{"action", "click"}, {"id", "undoButton"}}),
                step({{"action", "save"}, {"path", "unmoved.sdf"}}),
                // The robot selected, the handle stands at its tool centre
                // point: up by a drag of 47 mm snapped to 10 mm steps (a jog
                // at each step, one undo step in all), down by the jog step
                // (10 mm) with Shift+Z in the view.
                step({{"action", "select"}, {"objectId", 2}}),
                step({{"action", "set"}, {"id", "snapStep"}, {"property", "text"}, {"value", "10"}}),
                step({{"action", "check"}, {"id", "tcpLabel"}, {"property", "text"}, {"matches", "mm"}}),
                step({{"action", "drag"}, {"target", "tcp"}, {"handle", "z"}, {"distance", 47}, {"frame", "world"}}),
                step({{"action", "key"}, {"id", "view3d"}, {"key", "Shift+Z"}}),
                step({{"action", "check"}, {"id", "tcpLabel"}, {"property", "text"}, {"matches", "mm"}}),
                step({{"action", "click"}, {"id", "undoButton"}}),
                step({{"action", "click"}, {"id", "undoButton"}}),
                step({{"action", "save"}, {"path", "tcpundone.sdf"}}),
                step({{"action", "select"}, {"objectId", 21}}),
                step({{"action", "fit"}, {"what", "selection"}}),
                step({{"action", "select"}, {"objectId", 86}}),
                step({{"action", "screenshot"}, {"path", "shown.png"}}),
                step({{"action", "show"}, {"kind", "paths"}, {"visible", false}}),
                step({{"action", "screenshot"}, {"path", "nopaths.png"}}),
                step({{"action", "save"}, {"path", "hidden.sdf"}}),
                // 49, 51: the cap, selected once its part is; the bracket body.
                step({{"action", "pick"}, {"objectId", 87}, {"expect", 87}}),
                step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Cap (body 87)"}}),
                step({{"action", "pick"}, {"objectId", 22}, {"expect", 22}}),
                step({{"action", "hover"}, {"objectId", 22},
                      {"expect", "Bracket (body 22) of Bracket & Gusset <L> (part 21)"}}),
                // A Shift+click on the cap names the cap's face and edge.
                step({{"action", "pickEdge"}, {"body", 87}, {"face", 0}, {"edge", 0}, {"click", true}}),
                // The angle in sight again, as before these steps.
                step({{"action", "show"}, {"all", true}}),
                step({{"action", "select"}, {"objectId", 84}}),
                step({{"action", "fit"}, {"what", "selection"}}),
                step({{"action", "select"}, {"objectId", 86}}),
                // 58, 59: measuring on the angle (turned half about z, at
                // 900 280 760) where these points of its surface appear: on
                // top of its 10 mm flange, and on the inner face of its
                // upright leg.
                step({{"action", "measure"}, {"points", QJsonArray{point(950, 200, 770), point(850, 200, 770)}},
                      {"matches", "^Distance "}}),
                step({{"action", "measure"}, {"points", QJsonArray{point(950, 200, 770), point(850, 200, 770), point(850, 270, 800)}},
                      {"matches", "^Angle "}}),
                step({{"action", "screenshot"}, {"path", "measured.png"}}),
                // It only looks: the operation stays selected, and there is
                // nothing to undo.
                step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Weld angle corner (operation 86)"}}),
                step({{"action", "check"}, {"id", "undoButton"}, {"property", "enabled"}, {"equals", false}}),
                // Escape clears the points, then ends measuring.
                step({{"action", "key"}, {"id", "stationTree"}, {"key", "Escape"}}),
                step({{"action", "check"}, {"id", "measureText"}, {"property", "text"}, {"equals", ""}}),
                step({{"action", "key"}, {"id", "stationTree"}, {"key", "Escape"}}),
                step({{"action", "check"}, {"id", "measureButton"}, {"property", "checked"}, {"equals", false}}),
                // 67: the path as the operation's one edge runs, reversed.
                step({{"action", "generate"}, {"operationId", 86}}),
                step({{"action", "save"}, {"path", "generated.sdf"}}),
                // 69: a click beside the edge the operation follows.
                step({{"action", "pickEdge"}, {"body", 85}, {"face", 2}, {"edge", 1}, {"click", true}}),
                step({{"action", "check"}, {"id", "pickText"}, {"property", "text"},
                      {"matches", "· edge 1 of Weld angle corner: reversed, runs towards [-+xyz]+$"}}),
                step({{"action", "click"}, {"id", "reversePickedEdgeButton"}}),
                // 72
                step({{"action", "check"}, {"id", "pickText"}, {"property", "text"},
                      {"matches", "· edge 1 of Weld angle corner: not reversed, runs towards [-+xyz]+  —  "
                                  "Edge 1 of Weld angle corner is not reversed now$"}}),
                step({{"action", "click"}, {"id", "clearPickButton"}}),
                step({{"action", "screenshot"}, {"path", "reversed.png"}}),
                step({{"action", "click"}, {"id", "pickEdgesButton"}}),
                // 76: the pointer over another edge while picking.
                step({{"action", "pickEdge"}, {"body", 85}, {"face", 2}, {"edge", 0}, {"hover", true}}),
                step({{"action", "screenshot"}, {"path", "hover.png"}}),
                step({{"action", "generate"}, {"operationId", 86}}),
                step({{"action", "save"}, {"path", "reversed.sdf"}}),
                step({{"action", "reverseEdge"}, {"operationId", 86}, {"body", 85}, {"face", 2}, {"edge", 0},
                      {"refused", "Weld angle corner does not follow the picked edge"}}),
                // A program target moved 20 mm along its own x, typed (turned
                // half about y: the work object's -x); a work object's user
                // frame dragged up.
                step({{"action", "click"}, {"id", "pickEdgesButton"}}),
                step({{"action", "select"}, {"objectId", 61}}),
                step({{"action", "set"}, {"id", "snapStep"}, {"property", "text"}, {"value", "10"}}),
                step({{"action", "set"}, {"id", "moveAxis"}, {"property", "currentIndex"}, {"value", 0}}),
                step({{"action", "set"}, {"id", "moveDistance"}, {"property", "text"}, {"value", "20"}}),
                step({{"action", "key"}, {"id", "moveDistance"}, {"key", "Return"}}),
                step({{"action", "select"}, {"objectId", 30}}),
                step({{"action", "fit"}, {"what", "all"}}),
                step({{"action", "drag"}, {"handle", "z"}, {"distance", 47}, {"frame", "world"}}),
                step({{"action", "save"}, {"path", "program.sdf"}}),
            },
            QStringLiteral("xcb"), station);
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
        const QImage start(scratch.path(QStringLiteral("start.png")));
        const QPoint at = PickedAt(run, 3);
        QVERIFY2(!start.isNull() && at.x() >= 0, qPrintable(run.describe()));
        const QColor shown = Around(start, at);
        QVERIFY2(shown.red() - std::max(shown.green(), shown.blue()) > 60, qPrintable(shown.name()));

        // The click named the face and edge it was beside, and the face is
        // tinted blue there once picked.
        const QString clicked = run.lines.filter(QStringLiteral("PASS 14/")).join(QString());
        QVERIFY2(clicked.endsWith(QStringLiteral("names Angle 200 · face 2 · edge 0 (110.0 mm)")), qPrintable(clicked));
        const QPoint onEdge = PickedAt(run, 14);
        const QImage before(scratch.path(QStringLiteral("before.png")));
        const QImage picked(scratch.path(QStringLiteral("picked.png")));
        QVERIFY2(!before.isNull() && !picked.isNull() && onEdge.x() >= 0, qPrintable(clicked));
        const auto blue = [](const QColor& c) { return c.blue() - c.red() > 60; };
        QVERIFY2(!blue(Around(before, onEdge)) && blue(Around(picked, onEdge)),
                 qPrintable(Around(before, onEdge).name() + " " + Around(picked, onEdge).name()));

        // The operation's edges as stored: the new one after the first, and
        // after one undo the station as it was.
        const auto read = [&](const QString& name) {
            QFile file(scratch.path(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QString added = QString::fromUtf8(read(QStringLiteral("added.sdf")));
        added.replace(QRegularExpression(QStringLiteral(">\\s+<")), QStringLiteral("><"));
        const QString edges = QRegularExpression(QStringLiteral("<operation id='86'>.*<process_edgeoperation>(.*)</process_edgeoperation>"),
                                                 QRegularExpression::DotMatchesEverythingOption)
                                  .match(added)
                                  .captured(1);
        QCOMPARE(edges, QStringLiteral("<edge><edgeindex>1</edgeindex><reversed>true</reversed>"
                                       "<bodyface><bodyid>85</bodyid><faceindex>2</faceindex></bodyface></edge>"
                                       "<edge><edgeindex>0</edgeindex><reversed>false</reversed>"
                                       "<bodyface><bodyid>85</bodyid><faceindex>2</faceindex></bodyface></edge>"));
        const QByteArray original = read(QStringLiteral("before.sdf"));
        QVERIFY(!original.isEmpty() && read(QStringLiteral("undone.sdf")) == original);

        // Both bodies drawn in their own colours, the cap above the bracket.
        const QImage shownImage(scratch.path(QStringLiteral("shown.png")));
        const QImage hiddenImage(scratch.path(QStringLiteral("nopaths.png")));
        const QPoint capAt = PickedAt(run, 49);
        const QPoint bracketAt = PickedAt(run, 51);
        QVERIFY2(!shownImage.isNull() && !hiddenImage.isNull() && capAt.x() >= 0 && bracketAt.x() >= 0,
                 qPrintable(run.describe()));
        const QColor capColour = Around(hiddenImage, capAt);
        const QColor bracketColour = Around(hiddenImage, bracketAt);
        QVERIFY2(capColour.green() - std::max(capColour.red(), capColour.blue()) > 60, qPrintable(capColour.name()));
        QVERIFY2(bracketColour.red() - std::max(bracketColour.green(), bracketColour.blue()) > 60,
                 qPrintable(bracketColour.name()));
        QVERIFY2(capAt.y() < bracketAt.y(), qPrintable(run.describe()));

        // The paths' lines (their unlit amber) are gone; the bracket is not.
        const auto amber = [](const QImage& image) {
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += Distance(image.pixelColor(x, y), QColor(0xff, 0xb0, 0x00)) < 24;
            return n;
        };
        const int lines = amber(shownImage);
        QVERIFY2(lines > 40 && amber(hiddenImage) == 0, qPrintable(QStringLiteral("%1 %2").arg(lines).arg(amber(hiddenImage))));
        QVERIFY2(Distance(Around(shownImage, bracketAt), bracketColour) < 12,
                 qPrintable(Around(shownImage, bracketAt).name() + " " + bracketColour.name()));
        // Hiding is not an edit: the station saves to the same bytes.
        QVERIFY(read(QStringLiteral("hidden.sdf")) == original);

        // What was measured is where the rays meet the surface, to the
        // view's single precision (a tenth of a millimetre here); the
        // middle of the shape, or its far side, would be millimetres off.
        const auto numbers = [&](int number, const QString& pattern) {
            const QString line = run.lines.filter(QStringLiteral("PASS %1/").arg(number)).join(QString());
            const auto match = QRegularExpression(pattern).match(line);
            QList<double> found;
            for (int k = 1; k <= match.lastCapturedIndex(); ++k)
                found.append(match.captured(k).toDouble());
            return std::pair{found, line};
        };
        const auto near = [](const QList<double>& found, const QList<double>& expected) {
            if (found.size() != expected.size())
                return false;
            for (qsizetype k = 0; k < found.size(); ++k)
                if (std::abs(found[k] - expected[k]) > 0.21)
                    return false;
            return true;
        };
        const QString number = QStringLiteral("(-?\\d+\\.\\d)");
        const auto [distance, distanceLine] =
            numbers(58, QStringLiteral(": Distance %1 mm \\(dx %1, dy %1, dz %1\\)$").arg(number));
        QVERIFY2(near(distance, {100, -100, 0, 0}), qPrintable(distanceLine));
        const auto [angle, angleLine] = numbers(59, QStringLiteral(": Angle %1° \\(legs %1 mm and %1 mm\\)$").arg(number));
        // The legs (100, 0, 0) and (0, 70, 30).
        QVERIFY2(near(angle, {90, 100, 76.2}), qPrintable(angleLine));

        // The measured line is drawn between the first two points clicked.
        const QString measured = angleLine;
        static const QRegularExpression inWindow(QStringLiteral("\\((\\d+), (\\d+)\\) on \\("));
        QList<QPoint> points;
        for (auto it = inWindow.globalMatch(measured); it.hasNext();) {
            const auto match = it.next();
            points.append(QPoint(match.captured(1).toInt(), match.captured(2).toInt()));
        }
        QVERIFY2(points.size() == 3, qPrintable(measured));
        const QImage shot(scratch.path(QStringLiteral("measured.png")));
        const QPoint third = points[0] + (points[1] - points[0]) / 3;
        const auto yellow = [](const QColor& c) { return c.red() > 200 && c.green() > 180 && c.blue() < 90; };
        bool lineDrawn = false;
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                lineDrawn = lineDrawn || yellow(shot.pixelColor(third + QPoint(dx, dy)));
        QVERIFY2(lineDrawn, qPrintable(Around(shot, third).name()));
        // Reversed from the pick bar: the arrows turn round, the pick says
        // the other way, the file has it and Generate runs it the other way.
        const auto towards = [&](int number) {
            return QRegularExpression(QStringLiteral("runs towards ([-+xyz]+)"))
                .match(run.lines.filter(QStringLiteral("PASS %1/").arg(number)).join(QString()))
                .captured(1);
        };
        QVERIFY2(!towards(70).isEmpty() && !towards(72).isEmpty() && towards(70) != towards(72),
                 qPrintable(towards(70) + " " + towards(72)));
        QString reversed = QString::fromUtf8(read(QStringLiteral("reversed.sdf")));
        reversed.replace(QRegularExpression(QStringLiteral(">\\s+<")), QStringLiteral("><"));
        QVERIFY(reversed.contains(QStringLiteral("<process_edgeoperation><edge><edgeindex>1</edgeindex>"
                                                 "<reversed>false</reversed>")));
        const auto ends = [&](const QString& name) {
            QString text = QString::fromUtf8(read(name));
            std::map<int, QVector3D> targets;
            const QRegularExpression item(QStringLiteral("<dataitem id='\\d+'>(.*?)</dataitem>"),
                                          QRegularExpression::DotMatchesEverythingOption);
            for (auto it = item.globalMatch(text); it.hasNext();) {
                const QString body = it.next().captured(1);
                const auto named = QRegularExpression(QStringLiteral("<name>Weld_angle_corner_T(\\d+)</name>")).match(body);
                const auto value = QRegularExpression(QStringLiteral("<value type='robtarget'>(\\S+) (\\S+) (\\S+) ")).match(body);
                if (named.hasMatch() && value.hasMatch())
                    targets[named.captured(1).toInt()] =
                        QVector3D(value.captured(1).toFloat(), value.captured(2).toFloat(), value.captured(3).toFloat());
            }
            return targets.size() < 2 ? std::pair<QVector3D, QVector3D>()
                                      : std::pair(targets.begin()->second, targets.rbegin()->second);
        };
        const auto [first, last] = ends(QStringLiteral("generated.sdf"));
        const auto [firstNow, lastNow] = ends(QStringLiteral("reversed.sdf"));
        QVERIFY2(first != last, "no path generated");
        QVERIFY(firstNow.distanceToPoint(last) < firstNow.distanceToPoint(first));
        QVERIFY(lastNow.distanceToPoint(first) < lastNow.distanceToPoint(last));

        // Arrows in the edge's arrow colour beside it, only with the
        // operation selected, and turned round when reversed.
        const QPoint beside = PickedAt(run, 69);
        const QImage turned(scratch.path(QStringLiteral("reversed.png")));
        QVERIFY2(beside.x() >= 0 && !turned.isNull(), qPrintable(run.describe()));
        QCOMPARE(ArrowPixels(start, QRect(QPoint(0, 0), start.size())).count, 0);
        const QRect around(beside - QPoint(40, 40), QSize(81, 81));
        const ArrowArea drawn = ArrowPixels(before, around);
        const ArrowArea now = ArrowPixels(turned, around);
        QVERIFY2(drawn.count > 20 && now.count > 20, qPrintable(QStringLiteral("%1 %2").arg(drawn.count).arg(now.count)));
        QVERIFY2((drawn.centre - now.centre).manhattanLength() > 8,
                 qPrintable(QStringLiteral("(%1, %2) (%3, %4)").arg(drawn.centre.x()).arg(drawn.centre.y())
                                .arg(now.centre.x()).arg(now.centre.y())));

        // The face under the pointer is tinted lightly before any click.
        const QPoint over = PickedAt(run, 76);
        const QImage hovered(scratch.path(QStringLiteral("hover.png")));
        QVERIFY2(over.x() >= 0 && !hovered.isNull(), qPrintable(run.describe()));
        const auto blueness = [](const QColor& c) { return c.blue() - c.red(); };
        QVERIFY2(blueness(Around(hovered, over)) > blueness(Around(turned, over)) + 25,
                 qPrintable(Around(turned, over).name() + " " + Around(hovered, over).name()));

        // The angle's pose, in the station's frame, moved by the snapped
        // 100 mm along its own x (the station's -x) and by 25 mm up; the
        // ids stay sound; two undos (one for the whole drag) give back the
        // very bytes.
        const QString moved = QString::fromUtf8(read(QStringLiteral("moved.sdf")));
        const QString pose = QRegularExpression(QStringLiteral("<part id='84'>\\s*<pose>([^<]*)</pose>"))
                                 .match(moved)
                                 .captured(1);
        QCOMPARE(pose, QStringLiteral("800 280 785 0 0 0 1"));
        QProcess validate;
        validate.start(QStringLiteral(SDFTOOL_EXECUTABLE),
                       {QStringLiteral("validate"), QStringLiteral("--ids"), scratch.path(QStringLiteral("moved.sdf"))});
        QVERIFY(validate.waitForFinished(120000));
        QVERIFY2(validate.exitCode() == 0, validate.readAll().constData());
        QVERIFY(read(QStringLiteral("unmoved.sdf")) == original);

        // The tool centre point 50 mm up and 10 down, nothing else; two
        // undos take back the drag and the key.
        const auto tcpAt = [&](int number) {
            const QString line = run.lines.filter(QRegularExpression(QStringLiteral("^PASS %1/").arg(number))).join(QString());
            const auto match = QRegularExpression(QStringLiteral("\"(-?[\\d.]+) (-?[\\d.]+) (-?[\\d.]+) mm")).match(line);
            return std::array<double, 3>{match.captured(1).toDouble(), match.captured(2).toDouble(), match.captured(3).toDouble()};
        };
        const auto tcpBefore = tcpAt(35);
        const auto tcpAfter = tcpAt(38);
        QVERIFY2(std::abs(tcpAfter[0] - tcpBefore[0]) < 0.02 && std::abs(tcpAfter[1] - tcpBefore[1]) < 0.02 &&
                     std::abs(tcpAfter[2] - tcpBefore[2] - 40) < 0.02,
                 qPrintable(run.describe()));
        QVERIFY(read(QStringLiteral("tcpundone.sdf")) == original);

        // The target's position written in its value, its orientation,
        // configuration and external axes kept; the work object's user
        // frame 50 mm up, its object frame kept.
        const QString program = QString::fromUtf8(read(QStringLiteral("program.sdf")));
        QVERIFY(program.contains(QStringLiteral("<value type='robtarget'>130 -150 10 0 0 1 0 -1 0 -1 0 9e+09")));
        QVERIFY(program.contains(QStringLiteral("<value type='wobjdata'>false true \"\" 900 0 810 1 0 0 0 0 0 0 1 0 0 0</value>")));
    }

    void offscreenShowsANoticeInsteadOfTheView()
    {
        Scratch scratch;
        const QJsonArray steps{
            step({{"action", "check"}, {"id", "cellView"}, {"property", "available"}, {"equals", false}}),
            step({{"action", "check"}, {"id", "cellViewNotice"}, {"property", "visible"}, {"equals", true}}),
            step({{"action", "select"}, {"row", "Table"}}),
            step({{"action", "check"}, {"id", "selectedTitle"}, {"property", "text"}, {"equals", "Table (part 19)"}}),
        };
        const Run run = scratch.zervan(steps, QStringLiteral("offscreen"));
        QVERIFY2(run.exitCode == 0, qPrintable(run.describe()));
    }
};

QTEST_GUILESS_MAIN(CellViewTest)
#include "CellViewTest.moc"
