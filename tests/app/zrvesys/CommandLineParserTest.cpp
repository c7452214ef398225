#include "CommandLineParserTest.h"

#include <zrvesys/CommandLineParser.h>

#include <QtTest/QtTest>

using zrv::CommandLineParser;

void CommandLineParserTest::registersOptionsOnceAndRejectsClashingLists()
{
    QVERIFY(CommandLineParser::AddOptions({
        QCommandLineOption({"a", "assist"}, "assistant port", "port", QString()),
        QCommandLineOption({"s", "size"}, "window size", "size", QString()),
        QCommandLineOption("gamma", "test script", "json", QString()),
    }));
    // "size" is taken: the whole list is refused, "fresh" included.
    QVERIFY(!CommandLineParser::AddOptions({
        QCommandLineOption("fresh", "new", "v", QString()),
        QCommandLineOption("size", "again", "v", QString()),
    }));
    // A name repeated within one list.
    QVERIFY(!CommandLineParser::AddOptions({
        QCommandLineOption("twice", "first", "v", QString()),
        QCommandLineOption({"t", "twice"}, "second", "v", QString()),
    }));
    QCOMPARE(CommandLineParser::registeredNames(), (QStringList{"a", "assist", "s", "size", "gamma"}));
}

void CommandLineParserTest::readsValuesFromTheApplicationsArguments()
{
    QVERIFY(CommandLineParser::isSet("a"));
    QCOMPARE(CommandLineParser::value("assist"), QStringLiteral("1234"));
    QCOMPARE(CommandLineParser::value("s"), QStringLiteral("800x600"));
    QCOMPARE(CommandLineParser::values("gamma"), (QStringList{"one.json", "two.json"}));
    QCOMPARE(CommandLineParser::value("gamma"), QStringLiteral("two.json"));
    QCOMPARE(CommandLineParser::positionalArguments(), QStringList{"station.sdf"});
    QCOMPARE(CommandLineParser::unknownOptionNames(), QStringList{"unknown"});
    // Names nobody registered are simply not set, without complaint.
    QVERIFY(!CommandLineParser::isSet("unknown"));
    QCOMPARE(CommandLineParser::value("fresh"), QString());
}

void CommandLineParserTest::optionsRegisteredLaterAreReadToo()
{
    QVERIFY(CommandLineParser::AddOptions({
        QCommandLineOption("unknown", "now known", QString()),
        QCommandLineOption("level", "with a default", "n", "3"),
    }));
    QVERIFY(CommandLineParser::isSet("unknown"));
    QVERIFY(CommandLineParser::unknownOptionNames().isEmpty());
    QVERIFY(!CommandLineParser::isSet("level"));
    QCOMPARE(CommandLineParser::value("level"), QStringLiteral("3"));
    QCOMPARE(CommandLineParser::value("assist"), QStringLiteral("1234"));
}
