// A plug-in that "Core" depends on; it reports when it is initialised and
// shut down, so that the tests see the order.
#include <zrvesys/IPlugin.h>

#include <cstdio>

class TestHelper : public QObject, public zrv::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ZRV_PLUGIN_IID FILE "Helper.json")
    Q_INTERFACES(zrv::IPlugin)

public:
    void initialize() override { report("init Helper"); }
    void shutdown() override { report("shutdown Helper"); }

private:
    static void report(const char* line)
    {
        std::printf("%s\n", line);
        std::fflush(stdout);
    }
};

#include "TestHelper.moc"
