#pragma once

// "Hello": opens the station named on the command line with the station
// library and shows, in a window of its own, how many objects it holds.
// A station that cannot be read gives the exit code 3.

#include <zrvesys/IPlugin.h>

#include <QtCore/QObject>

#include <memory>

class QQuickWindow;

class HelloPlugin : public QObject, public zrv::IPlugin
{
    Q_OBJECT
    // The interface identifier ties the plug-in to zervan; the metadata file
    // names what it depends on and the options it reads.
    Q_PLUGIN_METADATA(IID ZRV_PLUGIN_IID FILE "Hello.json")
    Q_INTERFACES(zrv::IPlugin)

public:
    HelloPlugin();
    ~HelloPlugin() override;

    void initialize() override;
    void shutdown() override;

private:
    std::unique_ptr<QQuickWindow> window;
};
