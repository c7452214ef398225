#pragma once

#include <QtCore/QObject>

// The interface identifier of the application's plug-ins. A plug-in declares
// it in its metadata (Q_PLUGIN_METADATA(IID ZRV_PLUGIN_IID FILE "Name.json"))
// and the executable hands the same text to PluginManager::SetIID.
#define ZRV_PLUGIN_IID "com.zervan.ZervanPlugin"

namespace zrv {

// What the plug-in manager calls on a loaded plug-in. The metadata file may
// name plug-ins that must be initialised first and declare the command-line
// options the plug-in reads (see PluginManager):
//   { "Depends": [ "Core" ],
//     "Options": [ { "names": [ "greeting" ], "valueName": "text", "description": "..." } ] }
// A plug-in finds the QML engine and the automation hook through the
// application properties "qmlengine" and "zrvhook", and the option values
// through zrv::CommandLineParser.
class IPlugin
{
public:
    virtual ~IPlugin() = default;

    // Called once, after every plug-in it depends on has been initialised.
    virtual void initialize() = 0;
    // Called once when the application quits, in reverse order of
    // initialisation, while the QML engine still exists.
    virtual void shutdown() = 0;
};

} // namespace zrv

Q_DECLARE_INTERFACE(zrv::IPlugin, ZRV_PLUGIN_IID)
