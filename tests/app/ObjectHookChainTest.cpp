// The hook as optimised builds have it, where the checks on Qt's hook table
// are compiled out: it must share the table with a tool that hooked the
// process before it, and stay out of a table it cannot use. Each case runs
// in a process of its own (the hook is a process-wide singleton); ctest
// passes the case's name.
#include "ObjectHook.h"

#include <QtCore/private/qhooks_p.h>
#include <QtGui/QGuiApplication>
#include <QtTest/QtTest>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Stands for another tool's callbacks.
std::atomic<int> foreignAdds{0};
std::atomic<int> foreignRemoves{0};
void foreignAdd(QObject*) { ++foreignAdds; }
void foreignRemove(QObject*) { ++foreignRemoves; }

void installForeignTool()
{
    qtHookData[QHooks::AddQObject] = reinterpret_cast<quintptr>(&foreignAdd);
    qtHookData[QHooks::RemoveQObject] = reinterpret_cast<quintptr>(&foreignRemove);
}

bool foreignToolInstalled()
{
    return qtHookData[QHooks::AddQObject] == reinterpret_cast<quintptr>(&foreignAdd)
        && qtHookData[QHooks::RemoveQObject] == reinterpret_cast<quintptr>(&foreignRemove);
}

// Runs after the hook's static destructor, which must have handed the table
// back although the application never quit.
void checkTableHandedBack()
{
    if (!foreignToolInstalled()) {
        std::fprintf(stderr, "FAIL: the destroyed hook is still in Qt's hook table\n");
        std::_Exit(1);
    }
}

bool hookTaken = false;

int announcements(const QSignalSpy& spy, const QObject* obj)
{
    int count = 0;
    for (const QList<QVariant>& args : spy)
        count += args.value(0).value<QObject*>() == obj;
    return count;
}

} // namespace

class ObjectHookChainTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        if (hookTaken)
            QSKIP("each case needs a process of its own");
        hookTaken = true;
    }

    void chainsToEarlierTool()
    {
        installForeignTool();
        zrv::ObjectHook* hook = zrv::ObjectHook::inst(qApp);
        QVERIFY(hook->isInstalled());
        QSignalSpy added(hook, &zrv::ObjectHook::objectAdded);
        QSignalSpy removed(hook, &zrv::ObjectHook::objectRemoved);

        foreignAdds = 0;
        foreignRemoves = 0;
        auto obj = std::make_unique<QObject>();
        QCOMPARE(foreignAdds.load(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(announcements(added, obj.get()), 1);
        QObject* address = obj.get();
        const int removesBefore = foreignRemoves.load();
        obj.reset();
        QCOMPARE(foreignRemoves.load(), removesBefore + 1);
        QCOMPARE(announcements(removed, address), 1);

        // Quitting gives the other tool its entries back.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
        QCoreApplication::exec();
        QVERIFY(!hook->isInstalled());
        QVERIFY(foreignToolInstalled());
        const int addsBefore = foreignAdds.load();
        auto late = std::make_unique<QObject>();
        QCOMPARE(foreignAdds.load(), addsBefore + 1);
        QCoreApplication::processEvents();
        QCOMPARE(announcements(added, late.get()), 0);

        qtHookData[QHooks::AddQObject] = 0;
        qtHookData[QHooks::RemoveQObject] = 0;
    }

    void unusableTableLeavesHookInactive()
    {
        const quintptr size = qtHookData[QHooks::HookDataSize];
        qtHookData[QHooks::HookDataSize] = 5;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("hook table .*cannot take the hook")));
        zrv::ObjectHook* hook = zrv::ObjectHook::inst(qApp);
        qtHookData[QHooks::HookDataSize] = size;

        QVERIFY(!hook->isInstalled());
        QCOMPARE(qtHookData[QHooks::AddQObject], quintptr(0));
        QCOMPARE(qtHookData[QHooks::RemoveQObject], quintptr(0));
        QSignalSpy added(hook, &zrv::ObjectHook::objectAdded);
        auto obj = std::make_unique<QObject>();
        QCoreApplication::processEvents();
        QVERIFY(added.isEmpty());
    }

    void destructorUninstalls()
    {
        installForeignTool();
        // Registered before the hook exists, so it runs after the hook's
        // destructor at exit.
        std::atexit(checkTableHandedBack);
        zrv::ObjectHook* hook = zrv::ObjectHook::inst(nullptr); // no aboutToQuit will come
        QVERIFY(hook->isInstalled());
        QVERIFY(!foreignToolInstalled());
    }
};

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    ObjectHookChainTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ObjectHookChainTest.moc"
