#pragma once

// Marks what the shared library zrvcell exports; everything else is hidden.
#if defined(_WIN32)
#if defined(ZRVCELL_BUILDING)
#define ZRV_CELL_EXPORT __declspec(dllexport)
#else
#define ZRV_CELL_EXPORT __declspec(dllimport)
#endif
#else
#define ZRV_CELL_EXPORT __attribute__((visibility("default")))
#endif
