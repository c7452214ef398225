#pragma once

// Marks what the shared library zrvsdf exports; everything else is hidden.
#if defined(_WIN32)
#if defined(ZRVSDF_BUILDING)
#define SDF_EXPORT __declspec(dllexport)
#else
#define SDF_EXPORT __declspec(dllimport)
#endif
#else
#define SDF_EXPORT __attribute__((visibility("default")))
#endif
