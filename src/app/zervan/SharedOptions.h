#pragma once

#include <QtCore/QCommandLineOption>
#include <QtCore/QList>

namespace zrv {

// The command-line options that the whole application shares, in the order
// they are registered. The executable only registers them; their values are
// read by the plug-ins through the shared registry.
QList<QCommandLineOption> sharedOptions();

} // namespace zrv
