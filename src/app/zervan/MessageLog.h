#pragma once

namespace zrv {

// Sends Qt's messages (warnings of Qt itself, of QML, of the plug-ins'
// qWarning and friends) both to standard error, formatted as Qt would, and
// to the application's log, each line naming its category and, where Qt
// knows it, the file and line. Debug messages go to standard error only.
// One handler for the whole process; install it before the application
// object so that the platform's complaints are kept too.
void installMessageLog();

} // namespace zrv
