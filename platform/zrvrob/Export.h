#pragma once

// Marks what the shared library zrvrob exports; everything else is hidden.
#if defined(_WIN32)
#if defined(ZRVROB_BUILDING)
#define ZRVROB_EXPORT __declspec(dllexport)
#else
#define ZRVROB_EXPORT __declspec(dllimport)
#endif
#else
#define ZRVROB_EXPORT __attribute__((visibility("default")))
#endif
