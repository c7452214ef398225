#include "ScriptRunner.h"

#include "StationSession.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QJsonDocument>
#include <QtCore/QRegularExpression>
#include <QtCore/QTimer>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QKeySequence>
#include <QtGui/QMouseEvent>
#include <QtQuick/QQuickItem>
#include <QtQuick/QQuickWindow>

#include <QtGui/QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

namespace zrv::core {

namespace {

using Outcome = ScriptRunner::Outcome;

Outcome pass(QString detail = {})
{
    return {Outcome::Pass, std::move(detail)};
}
Outcome fail(QString detail)
{
    return {Outcome::Fail, std::move(detail)};
}
Outcome retry(QString detail)
{
    return {Outcome::Retry, std::move(detail)};
}

void say(const QString& line)
{
    std::printf("%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString shown(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("(no value)");
    if (value.typeId() == QMetaType::QString)
        return quoted(value.toString());
    if (value.typeId() == QMetaType::QVariantList)
        return QString::fromUtf8(QJsonDocument(QJsonValue::fromVariant(value).toArray()).toJson(QJsonDocument::Compact));
    if (value.canConvert<QString>())
        return value.toString();
    return QStringLiteral("(%1)").arg(QString::fromLatin1(value.typeName()));
}

QString jsonText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String: return value.toString();
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::number(value.toDouble());
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    default: return QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    }
}

// A script's value as the report shows it: text in quotes, other values
// bare.
QString expectedText(const QJsonValue& value)
{
    return value.isString() ? quoted(value.toString()) : jsonText(value);
}

// Whether the property's value is what the JSON value says: a truth value,
// a number or a list as such, anything else by its text.
bool sameValue(const QVariant& actual, const QJsonValue& expected)
{
    if (expected.isArray())
        return QJsonValue::fromVariant(actual) == expected;
    if (expected.isBool())
        return actual.canConvert<bool>() && actual.toBool() == expected.toBool();
    if (expected.isDouble()) {
        bool ok = false;
        const double number = actual.toDouble(&ok);
        return ok && number == expected.toDouble();
    }
    return actual.toString() == jsonText(expected);
}

// Null when the value meets the expectation, else what is wrong.
QString unmet(const QVariant& actual, const QJsonObject& expectation)
{
    if (expectation.contains(QLatin1String("equals")) && !sameValue(actual, expectation.value(QLatin1String("equals"))))
        return QStringLiteral("is %1, expected %2").arg(shown(actual), expectedText(expectation.value(QLatin1String("equals"))));
    if (expectation.contains(QLatin1String("notEquals")) &&
        sameValue(actual, expectation.value(QLatin1String("notEquals"))))
        return QStringLiteral("is %1, expected anything else").arg(shown(actual));
    if (expectation.contains(QLatin1String("contains"))) {
        const QString part = jsonText(expectation.value(QLatin1String("contains")));
        if (!actual.toString().contains(part))
            return QStringLiteral("is %1, which does not contain %2").arg(shown(actual), quoted(part));
    }
    if (expectation.contains(QLatin1String("matches"))) {
        const QRegularExpression pattern(expectation.value(QLatin1String("matches")).toString());
        if (!pattern.isValid())
            return QStringLiteral("pattern %1 is not valid: %2").arg(quoted(pattern.pattern()), pattern.errorString());
        if (!pattern.match(actual.toString()).hasMatch())
            return QStringLiteral("is %1, which does not match %2").arg(shown(actual), quoted(pattern.pattern()));
    }
    return {};
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

QString targetName(const QString& id, const QString& name)
{
    return name.isEmpty() ? id : QStringLiteral("%1 \"%2\"").arg(id, name);
}

} // namespace

ScriptRunner::ScriptRunner(QObject* objectHook, StationSession* station, QString script, QObject* parent)
    : QObject(parent), hook(objectHook), session(station), scriptPath(std::move(script))
{
}

ScriptRunner::~ScriptRunner()
{
    // The application quits before the script ended (Ctrl+C, the window
    // closed): say how far it got. The exit code still says interrupted.
    if (!done && !unreadable) {
        const std::size_t total = steps.empty() ? 0 : steps.size() - 1;
        say(QStringLiteral("gamma %1: interrupted in step %2 of %3; %4 of the steps before failed")
                .arg(scriptPath)
                .arg(std::min(stepIndex, total))
                .arg(total)
                .arg(failed));
    }
}

void ScriptRunner::start()
{
    // Until the last step has run, the run has not passed: quitting half way
    // leaves this exit code.
    qApp->setProperty("_zrv_exit_code", InterruptedExitCode);
    QTimer::singleShot(0, this, [this] {
        loadScript();
        if (failed)
            finish();
        else
            runCurrent();
    });
}

void ScriptRunner::loadScript()
{
    if (!hook) {
        say(QStringLiteral("FAIL script %1: the object hook is missing").arg(scriptPath));
        failed = 1;
        return;
    }
    const auto cannotRead = [this](const QString& why) {
        say(QStringLiteral("FAIL script %1: could not read the script: %2").arg(scriptPath, why));
        failed = 1;
        unreadable = true;
    };
    // A pipe or a device would block the window until someone writes to it.
    std::error_code statusError;
    const auto status = std::filesystem::status(scriptPath.toStdString(), statusError);
    if (!statusError && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        cannotRead(QStringLiteral("not a regular file"));
        return;
    }
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly)) {
        cannotRead(file.errorString());
        return;
    }
    const QByteArray text = file.readAll();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        const QByteArray before = text.left(error.offset);
        const qsizetype line = before.count('\n') + 1;
        const qsizetype column = QString::fromUtf8(before.mid(before.lastIndexOf('\n') + 1)).size() + 1;
        cannotRead(QStringLiteral("%1 at line %2, column %3").arg(error.errorString()).arg(line).arg(column));
        return;
    }
    QJsonArray list;
    int defaultTimeout = 5000;
    if (document.isArray()) {
        list = document.array();
    } else {
        const QJsonObject top = document.object();
        list = top.value(QLatin1String("steps")).toArray();
        windowId = top.value(QLatin1String("window")).toString(windowId);
        defaultTimeout = top.value(QLatin1String("timeout")).toInt(defaultTimeout);
    }
    if (list.isEmpty()) {
        say(QStringLiteral("FAIL script %1: no steps").arg(scriptPath));
        failed = 1;
        return;
    }

    // The window comes first: every step acts on it.
    Step opening;
    opening.title = QStringLiteral("window %1").arg(windowId);
    opening.timeoutMs = defaultTimeout;
    opening.phases.push_back([this]() -> Outcome {
        QQuickWindow* found = window();
        if (!found)
            return retry(QStringLiteral("no window with id %1").arg(windowId));
        if (!found->isExposed())
            return retry(QStringLiteral("window %1 is not shown").arg(windowId));
        return pass(QStringLiteral("%1x%2").arg(found->width()).arg(found->height()));
    });
    steps.push_back(std::move(opening));
    for (const QJsonValue& value : list)
        steps.push_back(compile(value.toObject(), defaultTimeout));
}

ScriptRunner::Step ScriptRunner::compile(const QJsonObject& step, int defaultTimeout)
{
    const QString action = step.value(QLatin1String("action")).toString();
    const QString id = step.value(QLatin1String("id")).toString();
    const QString name = step.value(QLatin1String("name")).toString();
    const QString property = step.value(QLatin1String("property")).toString();

    Step result;
    result.timeoutMs = step.value(QLatin1String("timeout")).toInt(defaultTimeout);
    const auto needs = [&](std::initializer_list<const char*> keys) {
        for (const char* key : keys) {
            if (!step.contains(QLatin1String(key))) {
                const QString missing = QString::fromLatin1(key);
                result.phases = {[missing] { return fail(QStringLiteral("the step needs \"%1\"").arg(missing)); }};
                return false;
            }
        }
        return true;
    };

    if (action == QLatin1String("find")) {
        result.title = QStringLiteral("find %1").arg(targetName(id, name));
        if (needs({"id"}))
            result.phases = {findPhase(id, name)};
    } else if (action == QLatin1String("check")) {
        result.title = QStringLiteral("check %1.%2").arg(targetName(id, name), property);
        if (needs({"id", "property"}))
            result.phases = {checkPhase(id, name, property, step)};
    } else if (action == QLatin1String("set")) {
        result.title = QStringLiteral("set %1.%2").arg(targetName(id, name), property);
        if (needs({"id", "property", "value"}))
            result.phases = {setPhase(id, name, property, step.value(QLatin1String("value")))};
    } else if (action == QLatin1String("click")) {
        result.title = QStringLiteral("click %1").arg(targetName(id, name));
        if (needs({"id"}))
            result.phases = {clickPhase(id, name)};
    } else if (action == QLatin1String("key")) {
        const QString key = step.value(QLatin1String("key")).toString();
        result.title = QStringLiteral("key %1 on %2").arg(key, targetName(id, name));
        if (needs({"id", "key"}))
            result.phases = {keyPhase(id, name, key)};
    } else if (action == QLatin1String("select")) {
        result.title = step.contains(QLatin1String("objectId"))
                           ? QStringLiteral("select object %1").arg(step.value(QLatin1String("objectId")).toInteger())
                           : QStringLiteral("select %1").arg(quoted(step.value(QLatin1String("row")).toString()));
        if (step.contains(QLatin1String("objectId")) || needs({"row"}))
            result.phases = selectPhases(step);
    } else if (action == QLatin1String("edit")) {
        const QString field = step.value(QLatin1String("field")).toString();
        result.title = QStringLiteral("edit %1").arg(field);
        if (needs({"field", "value"}))
            result.phases = editPhases(field, jsonText(step.value(QLatin1String("value"))), step.value(QLatin1String("expect")));
    } else if (action == QLatin1String("save")) {
        const QString path = step.value(QLatin1String("path")).toString();
        result.title = path.isEmpty() ? QStringLiteral("save") : QStringLiteral("save %1").arg(path);
        result.phases = savePhases(path, step.value(QLatin1String("confirm")).toBool());
    } else if (action == QLatin1String("open")) {
        const QString path = step.value(QLatin1String("path")).toString();
        result.title = QStringLiteral("open %1").arg(path);
        if (needs({"path"}))
            result.phases = {openPhase(path)};
    } else if (action == QLatin1String("screenshot")) {
        const QString path = step.value(QLatin1String("path")).toString();
        result.title = QStringLiteral("screenshot %1").arg(path);
        if (needs({"path"}))
            result.phases = {screenshotPhase(path)};
    } else if (action == QLatin1String("pick")) {
        result.title = step.contains(QLatin1String("objectId"))
                           ? QStringLiteral("pick object %1").arg(step.value(QLatin1String("objectId")).toInteger())
                           : QStringLiteral("pick at (%1, %2)")
                                 .arg(step.value(QLatin1String("x")).toDouble())
                                 .arg(step.value(QLatin1String("y")).toDouble());
        if (step.contains(QLatin1String("objectId")) || needs({"x", "y"}))
            result.phases = {pickPhase(step)};
    } else if (action == QLatin1String("fit")) {
        const QString what = step.value(QLatin1String("what")).toString(QStringLiteral("all"));
        const int viewPoint = step.value(QLatin1String("viewPoint")).toInt(0);
        result.title = viewPoint > 0 ? QStringLiteral("fit view point %1").arg(viewPoint) : QStringLiteral("fit %1").arg(what);
        result.phases = {fitPhase(what, viewPoint)};
    } else if (action == QLatin1String("simulate")) {
        const QJsonValue to = step.value(QLatin1String("to"));
        result.title = QStringLiteral("simulate %1to %2")
                           .arg(step.contains(QLatin1String("scenario")) ? quoted(step.value(QLatin1String("scenario")).toString()) + QLatin1Char(' ') : QString(),
                                to.isUndefined() ? QStringLiteral("end") : jsonText(to));
        // A run takes longer than a click: a minute unless told.
        result.timeoutMs = step.value(QLatin1String("timeout")).toInt(std::max(defaultTimeout, 60000));
        result.phases = simulatePhases(step);
    } else if (action == QLatin1String("state")) {
        result.title = step.contains(QLatin1String("restore"))
                           ? QStringLiteral("state restore %1").arg(quoted(jsonText(step.value(QLatin1String("restore")))))
                           : QStringLiteral("state save %1").arg(quoted(step.value(QLatin1String("save")).toString()));
        result.phases = {statePhase(step)};
    } else if (action == QLatin1String("measure")) {
        result.title = QStringLiteral("measure %1 points").arg(step.value(QLatin1String("points")).toArray().size());
        result.phases = measurePhases(step);
    } else if (action == QLatin1String("dragRow")) {
        result.title = QStringLiteral("drag the row of object %1 onto object %2")
                           .arg(jsonText(step.value(QLatin1String("objectId"))), jsonText(step.value(QLatin1String("onto"))));
        result.phases = dragRowPhases(step);
    } else if (IsStructureAction(action)) {
        result.title = action;
        for (const char* key : {"kind", "objectId", "parentId", "parent", "path"})
            if (step.contains(QLatin1String(key)))
                result.title += QStringLiteral(" %1=%2").arg(QLatin1String(key), jsonText(step.value(QLatin1String(key))));
        result.phases = {structurePhase(action, step)};
    } else if (IsPickAction(action)) {
        result.title = pickTitle(action, step);
        result.phases = {edgePickPhase(action, step)};
    } else if (action == QLatin1String("drag")) {
        result.title = dragTitle(step);
        result.phases = {dragPhase(step)};
    } else if (IsRobotAction(action)) {
        result.title = robotTitle(action, step);
        result.phases = {robotPhase(action, step)};
    } else if (IsShowAction(action)) {
        result.title = showTitle(action, step);
        result.phases = action == QLatin1String("show") ? std::vector<Phase>{showPhase(step)} : hoverPhases(step);
    } else {
        result.title = action.isEmpty() ? QStringLiteral("(no action)") : action;
        result.phases = {[action] { return fail(QStringLiteral("unknown action %1").arg(quoted(action))); }};
    }
    const QString title = step.value(QLatin1String("title")).toString();
    if (!title.isEmpty())
        result.title = title;
    return result;
}

void ScriptRunner::runCurrent()
{
    if (stepIndex >= steps.size()) {
        finish();
        return;
    }
    Step& step = steps[stepIndex];
    if (phaseIndex == 0 && !stepTimer.isValid())
        stepTimer.start();

    const Outcome outcome = step.phases[phaseIndex]();
    switch (outcome.kind) {
    case Outcome::Retry:
        if (stepTimer.elapsed() < step.timeoutMs) {
            QTimer::singleShot(20, this, &ScriptRunner::runCurrent);
            return;
        }
        report(false, QStringLiteral("%1 (gave up after %2 ms)").arg(outcome.detail).arg(step.timeoutMs));
        break;
    case Outcome::Fail:
        report(false, outcome.detail);
        break;
    case Outcome::Pass:
        if (++phaseIndex < step.phases.size()) {
            // The next phase sees what this one did once the window has
            // handled it.
            QTimer::singleShot(0, this, &ScriptRunner::runCurrent);
            return;
        }
        report(true, outcome.detail);
        break;
    }
    // A step that finds no window leaves nothing for the others to act on.
    const bool noWindow = stepIndex == 0 && outcome.kind != Outcome::Pass;
    ++stepIndex;
    phaseIndex = 0;
    stepTimer.invalidate();
    if (noWindow) {
        finish();
        return;
    }
    // Let the window lay out and paint what the step changed before the
    // next one looks at it.
    QQuickWindow* shownWindow = window();
    if (!shownWindow || !shownWindow->isExposed()) {
        QTimer::singleShot(0, this, &ScriptRunner::runCurrent);
        return;
    }
    auto connection = std::make_shared<QMetaObject::Connection>();
    auto proceed = [this, connection] {
        if (!*connection)
            return;
        QObject::disconnect(*connection);
        *connection = {};
        QTimer::singleShot(0, this, &ScriptRunner::runCurrent);
    };
    *connection = connect(shownWindow, &QQuickWindow::frameSwapped, this, proceed);
    // A window with nothing new to paint swaps no frame.
    QTimer::singleShot(250, this, proceed);
    shownWindow->update();
}

void ScriptRunner::report(bool passed, const QString& detail)
{
    const Step& step = steps[stepIndex];
    if (!passed)
        ++failed;
    QString line = QStringLiteral("%1 %2/%3 %4")
                       .arg(passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
                       .arg(stepIndex)
                       .arg(steps.size() - 1)
                       .arg(step.title);
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    say(line);
}

void ScriptRunner::finish()
{
    done = true;
    if (unreadable)
        say(QStringLiteral("gamma %1: could not read the script").arg(scriptPath));
    else
        say(QStringLiteral("gamma %1: %2 of %3 steps failed")
                .arg(scriptPath)
                .arg(failed)
                .arg(steps.empty() ? 0 : steps.size() - 1));
    emit finished(failed);
}

QString ScriptRunner::storedText(const QString& fieldPath) const
{
    const auto* fields = session ? qobject_cast<const FieldListModel*>(session->fields()) : nullptr;
    const FieldListModel::Field* field = fields ? fields->field(session->fieldRow(fieldPath)) : nullptr;
    return field ? FieldListModel::ShownText(*field) : QString();
}

QQuickWindow* ScriptRunner::window()
{
    QQuickWindow* found = nullptr;
    if (hook)
        QMetaObject::invokeMethod(hook, "findWindow", Q_RETURN_ARG(QQuickWindow*, found), Q_ARG(QString, windowId));
    return found;
}

QQuickItem* ScriptRunner::item(const QString& id, const QString& name)
{
    QQuickItem* found = nullptr;
    if (hook)
        QMetaObject::invokeMethod(hook, "findItem", Q_RETURN_ARG(QQuickItem*, found), Q_ARG(QString, id),
                                  Q_ARG(QString, name));
    return found;
}

QObject* ScriptRunner::target(const QString& id, const QString& name)
{
    if (QQuickItem* found = item(id, name))
        return found;
    if (name.isEmpty() && id == windowId)
        return window();
    return nullptr;
}

ScriptRunner::Phase ScriptRunner::findPhase(QString id, QString name)
{
    return [this, id, name]() -> Outcome {
        QQuickItem* found = item(id, name);
        if (!found)
            return retry(QStringLiteral("not found"));
        return pass(found->isVisible() ? QString() : QStringLiteral("found, not visible"));
    };
}

ScriptRunner::Phase ScriptRunner::checkPhase(QString id, QString name, QString property, QJsonObject expectation)
{
    return [this, id, name, property, expectation]() -> Outcome {
        QObject* object = target(id, name);
        if (!object)
            return retry(QStringLiteral("not found"));
        if (object->metaObject()->indexOfProperty(property.toLatin1().constData()) < 0)
            return fail(QStringLiteral("%1 has no property %2").arg(QString::fromLatin1(object->metaObject()->className()), property));
        const QVariant value = object->property(property.toLatin1().constData());
        const QString problem = unmet(value, expectation);
        if (!problem.isEmpty())
            return retry(problem);
        return pass(shown(value));
    };
}

ScriptRunner::Phase ScriptRunner::setPhase(QString id, QString name, QString property, QJsonValue value)
{
    return [this, id, name, property, value]() -> Outcome {
        QObject* object = target(id, name);
        if (!object)
            return retry(QStringLiteral("not found"));
        const QByteArray key = property.toLatin1();
        if (object->metaObject()->indexOfProperty(key.constData()) < 0)
            return fail(QStringLiteral("%1 has no property %2").arg(QString::fromLatin1(object->metaObject()->className()), property));
        if (!object->setProperty(key.constData(), value.toVariant()))
            return fail(QStringLiteral("%1 does not take %2").arg(property, quoted(jsonText(value))));
        return pass(shown(object->property(key.constData())));
    };
}

ScriptRunner::Phase ScriptRunner::clickPhase(QString id, QString name)
{
    return [this, id, name]() -> Outcome {
        QQuickItem* found = item(id, name);
        if (!found)
            return retry(QStringLiteral("not found"));
        QQuickWindow* shownWindow = found->window();
        if (!shownWindow || !found->isVisible())
            return retry(QStringLiteral("not visible"));
        if (!found->isEnabled())
            return retry(QStringLiteral("not enabled"));
        const QPointF centre = found->mapToScene(QPointF(found->width() / 2, found->height() / 2));
        if (!QRectF(0, 0, shownWindow->width(), shownWindow->height()).contains(centre))
            return fail(QStringLiteral("its centre (%1, %2) lies outside the window").arg(centre.x()).arg(centre.y()));
        const QPointF global = shownWindow->mapToGlobal(centre);
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(shownWindow, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(shownWindow, &release);
        return pass(QStringLiteral("at (%1, %2)").arg(std::lround(centre.x())).arg(std::lround(centre.y())));
    };
}

ScriptRunner::Phase ScriptRunner::keyPhase(QString id, QString name, QString keyName)
{
    return [this, id, name, keyName]() -> Outcome {
        const QKeySequence sequence = QKeySequence::fromString(keyName, QKeySequence::PortableText);
        if (sequence.count() != 1 || sequence[0].key() == Qt::Key_unknown)
            return fail(QStringLiteral("unknown key %1").arg(quoted(keyName)));
        QQuickItem* found = item(id, name);
        if (!found)
            return retry(QStringLiteral("not found"));
        if (!found->isVisible() || !found->isEnabled())
            return retry(QStringLiteral("not visible and enabled"));
        const QKeyCombination combination = sequence[0];
        QString text;
        if (combination.key() == Qt::Key_Return || combination.key() == Qt::Key_Enter)
            text = QStringLiteral("\r");
        else if (combination.key() < Qt::Key_Escape && !(combination.keyboardModifiers() & Qt::ControlModifier))
            text = QChar(combination.key());
        found->forceActiveFocus(Qt::OtherFocusReason);
        // Straight to the item: the offscreen platform need not make the
        // window the focus window, and keys go to the item a user typed in.
        QPointer<QQuickItem> receiver(found);
        QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers(), text);
        QCoreApplication::sendEvent(receiver, &press);
        if (receiver) {
            QKeyEvent release(QEvent::KeyRelease, combination.key(), combination.keyboardModifiers(), text);
            QCoreApplication::sendEvent(receiver, &release);
        }
        return pass();
    };
}

std::vector<ScriptRunner::Phase> ScriptRunner::selectPhases(QJsonObject step)
{
    auto row = std::make_shared<int>(-1);
    // The selected object's row, by the id it carries as objectName: names
    // need not be unique or even present.
    auto rowName = std::make_shared<QString>();
    const bool byId = step.contains(QLatin1String("objectId"));
    const QString wantedName = step.value(QLatin1String("row")).toString();
    Phase choose = [this, step, row, rowName, byId, wantedName]() -> Outcome {
        QQuickItem* tree = item(QStringLiteral("stationTree"), {});
        if (!tree)
            return retry(QStringLiteral("no stationTree"));
        QVariant result;
        const QVariant argument = byId ? QVariant(step.value(QLatin1String("objectId")).toInteger())
                                       : QVariant(wantedName);
        if (!QMetaObject::invokeMethod(tree, byId ? "selectObjectId" : "selectObject", Q_RETURN_ARG(QVariant, result),
                                       Q_ARG(QVariant, argument)))
            return fail(QStringLiteral("stationTree can not select objects"));
        *row = result.toInt();
        if (*row < 0)
            return fail(byId ? QStringLiteral("no object with id %1").arg(argument.toString())
                             : QStringLiteral("no object named %1").arg(quoted(wantedName)));
        if (!session)
            return fail(QStringLiteral("the station is gone"));
        *rowName = QStringLiteral("object/%1").arg(session->selectedId());
        return pass();
    };
    Phase verify = [this, row, rowName, byId, wantedName]() -> Outcome {
        QQuickItem* shownRow = item(QStringLiteral("treeRow"), *rowName);
        if (shownRow && shownRow->objectName() != *rowName)
            shownRow = nullptr;
        if (!shownRow)
            return retry(QStringLiteral("row %1 is not shown").arg(*row));
        if (!shownRow->property("highlighted").toBool())
            return retry(QStringLiteral("row %1 is shown but not highlighted").arg(*row));
        // The highlighted row must show the object it stands for.
        const QString text = shownRow->property("text").toString();
        if (!byId && text != wantedName)
            return retry(QStringLiteral("row %1 is highlighted but shows %2").arg(*row).arg(quoted(text)));
        return pass(QStringLiteral("row %1").arg(*row));
    };
    // One step, two looks: the selection, then what the tree shows.
    return {choose, verify};
}

std::vector<ScriptRunner::Phase> ScriptRunner::editPhases(QString path, QString value, QJsonValue expected)
{
    const QString expectedText = expected.isUndefined() ? value : jsonText(expected);
    Phase reveal = [this, path]() -> Outcome {
        QQuickItem* list = item(QStringLiteral("fieldList"), {});
        if (!list)
            return retry(QStringLiteral("no fieldList"));
        QVariant row;
        QMetaObject::invokeMethod(list, "showField", Q_RETURN_ARG(QVariant, row), Q_ARG(QVariant, path));
        if (row.toInt() < 0)
            return fail(QStringLiteral("the selected object %1 has no field %2")
                            .arg(session ? session->selectedTitle() : QString(), quoted(path)));
        return pass();
    };
    Phase type = [this, path, value]() -> Outcome {
        QQuickItem* field = item(QStringLiteral("fieldValue"), path);
        if (!field || field->objectName() != path)
            return retry(QStringLiteral("field %1 is not shown").arg(quoted(path)));
        if (field->property("readOnly").toBool())
            return fail(QStringLiteral("field %1 is read-only").arg(quoted(path)));
        field->forceActiveFocus(Qt::OtherFocusReason);
        field->setProperty("text", value);
        QPointer<QQuickItem> receiver(field);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(receiver, &press);
        if (receiver) {
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
            QCoreApplication::sendEvent(receiver, &release);
        }
        return pass();
    };
    Phase verify = [this, path, expectedText]() -> Outcome {
        QQuickItem* field = nullptr;
        QVariant row;
        if (QQuickItem* list = item(QStringLiteral("fieldList"), {}))
            QMetaObject::invokeMethod(list, "showField", Q_RETURN_ARG(QVariant, row), Q_ARG(QVariant, path));
        field = item(QStringLiteral("fieldValue"), path);
        if (!field || field->objectName() != path)
            return retry(QStringLiteral("field %1 is not shown after writing").arg(quoted(path)));
        const QString text = field->property("text").toString();
        if (session && !session->lastError().isEmpty())
            return fail(session->statusText());
        if (text != expectedText) {
            const QString problem = QStringLiteral("shows %1, expected %2").arg(quoted(text), quoted(expectedText));
            // The field showing what the document now stores, and that is
            // not what was expected: nothing will change that any more.
            // Otherwise the rows may still be being rebuilt (after a parent
            // or child changed).
            return text == storedText(path) ? fail(problem) : retry(problem);
        }
        return pass(QStringLiteral("stored %1").arg(quoted(text)));
    };
    return {reveal, type, verify};
}

std::vector<ScriptRunner::Phase> ScriptRunner::savePhases(QString path, bool confirm)
{
    auto savedBefore = std::make_shared<int>(0);
    auto savedCount = std::make_shared<int>(0);
    if (session)
        connect(session, &StationSession::saved, this, [savedCount] { ++*savedCount; });
    std::vector<Phase> phases;
    if (!path.isEmpty()) {
        phases.push_back([this, path]() -> Outcome {
            QQuickItem* field = item(QStringLiteral("savePathField"), {});
            if (!field)
                return retry(QStringLiteral("no savePathField"));
            field->setProperty("text", absolute(path));
            return pass();
        });
    }
    Phase click = clickPhase(QStringLiteral("saveButton"), {});
    phases.push_back([click, savedBefore, savedCount]() -> Outcome {
        *savedBefore = *savedCount;
        return click();
    });
    Phase confirmRewrite = clickPhase(QStringLiteral("rewriteSaveButton"), {});
    phases.push_back([this, savedBefore, savedCount, confirm, confirmRewrite]() -> Outcome {
        if (!session)
            return fail(QStringLiteral("the station is gone"));
        if (*savedCount > *savedBefore)
            return pass(QStringLiteral("saved %1").arg(session->savePath()));
        QQuickWindow* shown = window();
        if (shown && shown->property("rewriteDialogShown").toBool()) {
            if (!confirm)
                return fail(QStringLiteral("%1: %2").arg(session->statusText(), session->textRewrites().join(QStringLiteral("; "))));
            const Outcome clicked = confirmRewrite();
            return clicked.kind == Outcome::Retry || clicked.kind == Outcome::Pass ? retry(QStringLiteral("confirming")) : clicked;
        }
        if (!session->lastError().isEmpty())
            return fail(session->statusText());
        return retry(QStringLiteral("nothing saved"));
    });
    return phases;
}

ScriptRunner::Phase ScriptRunner::openPhase(QString path)
{
    return [this, path]() -> Outcome {
        if (!session)
            return fail(QStringLiteral("the station is gone"));
        // As the Open dialog does: reading goes on while later steps run.
        session->openFile(absolute(path));
        return pass(QStringLiteral("reading %1").arg(absolute(path)));
    };
}

ScriptRunner::Phase ScriptRunner::screenshotPhase(QString path)
{
    return [this, path]() -> Outcome {
        QQuickWindow* shownWindow = window();
        if (!shownWindow || !shownWindow->isExposed())
            return retry(QStringLiteral("window %1 is not shown").arg(windowId));
        const QImage image = shownWindow->grabWindow();
        if (image.isNull())
            return fail(QStringLiteral("the window could not be grabbed"));
        const QString file = absolute(path);
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!image.save(file, "PNG"))
            return fail(QStringLiteral("could not write %1").arg(file));
        return pass(QStringLiteral("%1x%2 saved to %3").arg(image.width()).arg(image.height()).arg(file));
    };
}

} // namespace zrv::core
