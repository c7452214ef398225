#pragma once

#include <QtCore/qglobal.h>

#if defined(ZRVCOMMON_BUILDING)
#define ZRVCOMMON_EXPORT Q_DECL_EXPORT
#else
#define ZRVCOMMON_EXPORT Q_DECL_IMPORT
#endif
