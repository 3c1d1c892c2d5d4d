#pragma once
// Marks the functions a shared library exports on purpose; everything else stays hidden.
#if defined(_WIN32)
#define ZERIN_EXPORT __declspec(dllexport)
#else
#define ZERIN_EXPORT __attribute__((visibility("default")))
#endif
#define ZERIN_C_EXPORT extern "C" ZERIN_EXPORT
