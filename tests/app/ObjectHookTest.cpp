// The object hook in-process against real QML: what it announces, when and
// on which thread, and what its lookups find.
#include "ObjectHook.h"

#include <QtCore/QThread>
#include <QtCore/private/qhooks_p.h>
#include <QtGui/QGuiApplication>
#include <QtQml/QQmlComponent>
#include <QtQml/QQmlEngine>
#include <QtTest/QtTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace {

bool announced(const QSignalSpy& spy, const QObject* obj)
{
    for (const QList<QVariant>& args : spy) {
        if (args.value(0).value<QObject*>() == obj)
            return true;
    }
    return false;
}

// Lets posted announcements and deferred deletions run.
void turnEventLoop()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

const char* const scene = R"(
import QtQuick
import QtQuick.Controls

Window {
    id: mainWindow
    width: 300; height: 300
    visible: true
    property Item repeater: cells
    property QtObject menu: fileMenu
    property Item label: greeting
    property Item box: boxItem
    property Window tool: toolWindow

    function dropLastCell() { model.remove(model.count - 1) }

    ListModel {
        id: model
        ListElement { label: "x"; tag: "a"; shown: true }
        ListElement { label: "hidden"; tag: "b"; shown: false }
        ListElement { label: "y"; tag: "x"; shown: true }
    }
    Column {
        Repeater {
            id: cells
            model: model
            delegate: Text { id: cell; text: label; objectName: tag; visible: shown }
        }
        Text { id: greeting; text: "Hello"; objectName: "World" }
        Rectangle { id: boxItem; objectName: "Boxed"; width: 10; height: 10 }
        Text { text: "no id" }
    }
    Menu {
        id: fileMenu
        MenuItem { text: "Open" }
    }
    Window { id: toolWindow }
    // No id. (A property of the root naming it would count as its name.)
    Window { objectName: "anonymous" }
}
)";

} // namespace

class ObjectHookTest : public QObject
{
    Q_OBJECT

private:
    zrv::ObjectHook* hook = nullptr;
    std::unique_ptr<QQmlEngine> engine;
    std::unique_ptr<QObject> root;

    QQuickItem* cell(int index)
    {
        QQuickItem* item = nullptr;
        QMetaObject::invokeMethod(root->property("repeater").value<QObject*>(), "itemAt",
                                  Q_RETURN_ARG(QQuickItem*, item), Q_ARG(int, index));
        return item;
    }

private slots:
    void initTestCase()
    {
        QCOMPARE(qtHookData[QHooks::AddQObject], quintptr(0));
        hook = zrv::ObjectHook::inst(qApp);
        QVERIFY(hook->isInstalled());
        QVERIFY(qtHookData[QHooks::AddQObject] != 0);
        QVERIFY(qtHookData[QHooks::RemoveQObject] != 0);
        QCOMPARE(qtHookData[QHooks::Startup], quintptr(0));
        QCOMPARE(zrv::ObjectHook::inst(nullptr), hook);

        engine = std::make_unique<QQmlEngine>();
        QQmlComponent component(engine.get());
        component.setData(scene, QUrl(QStringLiteral("qrc:/scene.qml")));
        root.reset(component.create());
        QVERIFY2(root, qPrintable(component.errorString()));
        turnEventLoop();
    }

    void qmlSeesOnlyTheSignalsAndTheLookups()
    {
        const QMetaObject* meta = hook->metaObject();
        QCOMPARE(meta->className(), "zrv::ObjectHook");
        QStringList methods;
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
            methods += QString::fromLatin1(meta->method(i).methodSignature());
        QCOMPARE(methods, (QStringList{"objectAdded(QObject*)", "objectRemoved(QObject*)", "findWindow(QString)",
                                       "findMenu(QString)", "findItem(QString,QString)"}));
        QCOMPARE(hook->qt_metacast("zrv::ObjectHook"), static_cast<void*>(hook));
        QCOMPARE(QVariant::fromValue(hook).metaType().name(), "zrv::ObjectHook*");
    }

    void announcesOnceTheEventLoopTurnsAndNeverWhatIsAlreadyGone()
    {
        QSignalSpy added(hook, &zrv::ObjectHook::objectAdded);
        QSignalSpy removed(hook, &zrv::ObjectHook::objectRemoved);

        auto kept = std::make_unique<QObject>();
        // Built in storage of its own, so no later object can reuse the
        // address and be mistaken for it.
        alignas(QObject) unsigned char storage[sizeof(QObject)];
        QObject* gone = new (storage) QObject;
        gone->~QObject();

        QVERIFY(!announced(added, kept.get()));
        QVERIFY(announced(removed, gone));
        turnEventLoop();
        QVERIFY(announced(added, kept.get()));
        QVERIFY(!announced(added, gone));

        QObject* keptAddress = kept.get();
        kept.reset();
        QVERIFY(announced(removed, keptAddress));
    }

    void anObjectBuiltWhereAnotherDiedIsAnnouncedOnce()
    {
        QSignalSpy added(hook, &zrv::ObjectHook::objectAdded);
        alignas(QObject) unsigned char storage[sizeof(QObject)];
        QObject* first = new (storage) QObject;
        first->~QObject();
        QObject* second = new (storage) QObject;
        turnEventLoop();
        int count = 0;
        for (const QList<QVariant>& args : added)
            count += args.value(0).value<QObject*>() == second;
        QCOMPARE(count, 1);
        second->~QObject();
    }

    void itemDestroyedBeforeTheLoopTurnsIsNeverFound()
    {
        QQmlComponent component(engine.get());
        component.setData("import QtQuick\nItem { Item { id: shortLived } }", QUrl());
        std::unique_ptr<QObject> item(component.create());
        QVERIFY(item);
        item.reset();
        turnEventLoop();
        QCOMPARE(hook->findItem(QStringLiteral("shortLived"), QString()), nullptr);
    }

    void findsWindowsByTheirIdAtLookup()
    {
        auto tool = root->property("tool").value<QObject*>();
        QObject* unnamed = nullptr;
        for (QWindow* window : QGuiApplication::allWindows()) {
            if (window->objectName() == QLatin1String("anonymous"))
                unnamed = window;
        }
        QVERIFY(tool && unnamed);
        QCOMPARE(hook->findWindow(QStringLiteral("mainWindow")), root.get());
        QCOMPARE(hook->findWindow(QStringLiteral("toolWindow")), tool);
        // A window without id is still tracked; the empty id finds it.
        QCOMPARE(hook->findWindow(QString()), unnamed);
        QCOMPARE(hook->findWindow(QStringLiteral("MainWindow")), nullptr);
        QCOMPARE(hook->findWindow(QStringLiteral("nowhere")), nullptr);
    }

    void findsItemsByIdThenByTextOrObjectName()
    {
        auto label = root->property("label").value<QQuickItem*>();
        auto box = root->property("box").value<QQuickItem*>();
        QCOMPARE(hook->findItem(QStringLiteral("greeting"), QString()), label);
        QCOMPARE(hook->findItem(QStringLiteral("greeting"), QStringLiteral("Hello")), label);
        QCOMPARE(hook->findItem(QStringLiteral("greeting"), QStringLiteral("World")), label);
        QCOMPARE(hook->findItem(QStringLiteral("greeting"), QStringLiteral("hello")), nullptr);
        // No "text" property: the object name alone decides.
        QCOMPARE(hook->findItem(QStringLiteral("boxItem"), QStringLiteral("Boxed")), box);
        QCOMPARE(hook->findItem(QStringLiteral("boxItem"), QString()), box);
        QCOMPARE(hook->findItem(QStringLiteral("unknown"), QString()), nullptr);
    }

    void repeatedIdsAreSearchedNewestFirst()
    {
        QQuickItem* first = cell(0);
        QQuickItem* hidden = cell(1);
        QQuickItem* last = cell(2);
        QVERIFY(first && hidden && last);
        QVERIFY(!hidden->isVisible());

        QCOMPARE(hook->findItem(QStringLiteral("cell"), QString()), last);
        // "x" is the first cell's text and the last cell's object name: the
        // newest item wins.
        QCOMPARE(hook->findItem(QStringLiteral("cell"), QStringLiteral("x")), last);
        QCOMPARE(hook->findItem(QStringLiteral("cell"), QStringLiteral("a")), first);
        QCOMPARE(hook->findItem(QStringLiteral("cell"), QStringLiteral("hidden")), nullptr);
        QCOMPARE(hook->findItem(QStringLiteral("cell"), QStringLiteral("b")), nullptr);

        // Once the newest is gone, the one registered before it comes first.
        QVERIFY(QMetaObject::invokeMethod(root.get(), "dropLastCell"));
        QTRY_COMPARE(hook->findItem(QStringLiteral("cell"), QString()), hidden);
        QCOMPARE(hook->findItem(QStringLiteral("cell"), QStringLiteral("x")), first);
    }

    void findsMenusOnlyWhileOpen()
    {
        QObject* menu = root->property("menu").value<QObject*>();
        QVERIFY(menu && menu->inherits("QQuickMenu"));
        QCOMPARE(hook->findMenu(QStringLiteral("fileMenu")), nullptr);
        QMetaObject::invokeMethod(menu, "open");
        QTRY_COMPARE(hook->findMenu(QStringLiteral("fileMenu")), menu);
        QCOMPARE(hook->findMenu(QStringLiteral("editMenu")), nullptr);
        QMetaObject::invokeMethod(menu, "close");
        QTRY_COMPARE(hook->findMenu(QStringLiteral("fileMenu")), nullptr);
    }

    void objectsOfOtherThreadsAreAnnouncedOnTheHooksThread()
    {
        std::mutex mutex;
        std::condition_variable changed;
        QObject* made = nullptr;
        bool mayDestroy = false;
        QThread* addedOn = nullptr;
        QThread* removedOn = nullptr;
        QThread* worker = nullptr;

        QObject context;
        connect(hook, &zrv::ObjectHook::objectAdded, &context, [&](QObject* obj) {
            std::lock_guard lock(mutex);
            if (obj == made)
                addedOn = QThread::currentThread();
        }, Qt::DirectConnection);
        connect(hook, &zrv::ObjectHook::objectRemoved, &context, [&](QObject* obj) {
            std::lock_guard lock(mutex);
            if (obj == made)
                removedOn = QThread::currentThread();
        }, Qt::DirectConnection);

        std::thread thread([&] {
            auto obj = std::make_unique<QObject>();
            std::unique_lock lock(mutex);
            made = obj.get();
            worker = QThread::currentThread();
            changed.notify_all();
            changed.wait(lock, [&] { return mayDestroy; });
            lock.unlock();
            obj.reset();
        });
        {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return made != nullptr; });
        }
        QTRY_VERIFY(addedOn != nullptr);
        QCOMPARE(addedOn, QThread::currentThread());
        {
            std::lock_guard lock(mutex);
            mayDestroy = true;
            changed.notify_all();
        }
        thread.join();
        QCOMPARE(removedOn, worker);
        turnEventLoop(); // the queued unregistration must cope with the gone object
    }

    // Last: the application quits here.
    void nothingIsTrackedAfterAboutToQuit()
    {
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!hook->isInstalled());
        QCOMPARE(qtHookData[QHooks::AddQObject], quintptr(0));
        QCOMPARE(qtHookData[QHooks::RemoveQObject], quintptr(0));

        QSignalSpy added(hook, &zrv::ObjectHook::objectAdded);
        QSignalSpy removed(hook, &zrv::ObjectHook::objectRemoved);
        auto late = std::make_unique<QObject>();
        turnEventLoop();
        late.reset();
        QVERIFY(added.isEmpty());
        QVERIFY(removed.isEmpty());
        // What was found before stays findable.
        QCOMPARE(hook->findWindow(QStringLiteral("mainWindow")), root.get());
    }

    void cleanupTestCase()
    {
        root.reset();
        engine.reset();
    }
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ObjectHookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ObjectHookTest.moc"
