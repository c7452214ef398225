#include "PluginManagerTest.h"

#include <zrvesys/IPlugin.h>
#include <zrvesys/PluginManager.h>

#include <QtTest/QtTest>

using zrv::PluginManager;

namespace {

QStringList takeLog()
{
    const QStringList log = qApp->property("pluginLog").toStringList();
    qApp->setProperty("pluginLog", QStringList());
    return log;
}

} // namespace

void PluginManagerTest::initTestCase()
{
    PluginManager::SetIID(QStringLiteral(ZRV_PLUGIN_IID));
    PluginManager::SetPluginPaths({QStringLiteral("/nonexistent/plugins"), QStringLiteral(ZRV_PM_PLUGIN_DIR)});
    QCOMPARE(PluginManager::inst()->iid(), QStringLiteral("com.zervan.ZervanPlugin"));
    QCOMPARE(PluginManager::inst(), PluginManager::inst());
    takeLog();
}

void PluginManagerTest::loadsWhatAPluginDependsOnFirstAndEachPluginOnce()
{
    QSignalSpy loaded(PluginManager::inst(), &PluginManager::pluginLoaded);
    // Alpha needs Beta and Gamma, Beta needs Gamma.
    PluginManager::LoadPlugin(QStringLiteral("Alpha"));
    QCOMPARE(takeLog(), (QStringList{"load Gamma", "init Gamma", "load Beta", "init Beta", "load Alpha", "init Alpha"}));
    QCOMPARE(PluginManager::inst()->loadedPlugins(), (QStringList{"Gamma", "Beta", "Alpha"}));
    QCOMPARE(loaded.count(), 3);

    PluginManager::LoadPlugin(QStringLiteral("Beta"));
    PluginManager::LoadPlugin(QStringLiteral("Alpha"));
    QCOMPARE(takeLog(), QStringList());
}

void PluginManagerTest::problemsAreLoggedAndSkipOnlyThePluginConcerned_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("missing") << "Missing" << QStringList{R"(^plug-in "Missing" not found in /nonexistent/plugins, )"};
    QTest::newRow("other interface")
        << "Foreign"
        << QStringList{R"(^plug-in "Foreign" \(.*libForeign\.so\) has interface "org\.example\.OtherPlugin", expected "com\.zervan\.ZervanPlugin"$)"};
    QTest::newRow("no IPlugin") << "Plain" << QStringList{R"(^plug-in "Plain" \(.*\) does not implement zrv::IPlugin$)"};
    QTest::newRow("missing dependency")
        << "NeedsGhost"
        << QStringList{R"(^plug-in "Ghost" not found)", R"(^plug-in "NeedsGhost" not loaded: it needs "Ghost"$)"};
    QTest::newRow("cycle") << "LoopA"
                           << QStringList{R"(^plug-in "LoopA" depends on itself through LoopA -> LoopB$)",
                                          R"(^plug-in "LoopB" not loaded: it needs "LoopA"$)",
                                          R"(^plug-in "LoopA" not loaded: it needs "LoopB"$)"};
}

void PluginManagerTest::problemsAreLoggedAndSkipOnlyThePluginConcerned()
{
    QFETCH(QString, name);
    QFETCH(QStringList, warnings);
    for (const QString& warning : warnings)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    const QStringList before = PluginManager::inst()->loadedPlugins();
    PluginManager::LoadPlugin(name);
    QCOMPARE(PluginManager::inst()->loadedPlugins(), before);

    const QStringList log = takeLog();
    QVERIFY2(!log.contains(QStringLiteral("init ") + name), qPrintable(log.join(", ")));
    // A plug-in made for something else never runs any code.
    QVERIFY2(!log.contains(QStringLiteral("load Foreign")), qPrintable(log.join(", ")));

    // Asking again neither loads it nor repeats the complaint.
    PluginManager::LoadPlugin(name);
    QCOMPARE(takeLog(), QStringList());
}

void PluginManagerTest::shutsDownInReverseOrderOnlyOnce()
{
    PluginManager::inst()->shutdown();
    QCOMPARE(takeLog(), (QStringList{"shutdown Alpha", "shutdown Beta", "shutdown Gamma"}));
    PluginManager::inst()->shutdown();
    QCOMPARE(takeLog(), QStringList());
}
