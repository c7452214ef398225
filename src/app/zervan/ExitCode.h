#pragma once

#include <QtCore/QVariant>

namespace zrv {

// A plug-in forces the exit code by setting the application property
// "_zrv_exit_code" to a non-zero integer; zero, a value that is no integer
// or no value at all leave the event loop's result.
inline int exitCode(const QVariant& forced, int loopResult)
{
    const int code = forced.isValid() ? forced.toInt() : 0;
    return code != 0 ? code : loopResult;
}

} // namespace zrv
