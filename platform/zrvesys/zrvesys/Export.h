#pragma once

#include <QtCore/qglobal.h>

#if defined(ZRVESYS_BUILDING)
#define ZRVESYS_EXPORT Q_DECL_EXPORT
#else
#define ZRVESYS_EXPORT Q_DECL_IMPORT
#endif
