#include "CommandLineParserTest.h"
#include "PluginManagerTest.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QStandardPaths>
#include <QtTest/QtTest>

int main(int argc, char** argv)
{
    // The application's own command line, as the option registry sees it;
    // QtTest reads the real one.
    const char* appArgs[] = {"zervan",  "-a",   "1234",    "--size=800x600", "--unknown",
                             "station.sdf", "--gamma", "one.json", "--gamma",        "two.json"};
    int appArgc = int(std::size(appArgs));
    QCoreApplication app(appArgc, const_cast<char**>(appArgs));
    // Keeps the plug-in manager's log out of the user's data directory.
    QStandardPaths::setTestModeEnabled(true);

    int status = 0;
    {
        CommandLineParserTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        PluginManagerTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}
