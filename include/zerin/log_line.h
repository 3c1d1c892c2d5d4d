/* The log-line callback both Zerin libraries offer, and the calling convention of their C
 * functions and callbacks. C99 or later, or C++. */
#ifndef ZERIN_LOG_LINE_H
#define ZERIN_LOG_LINE_H

#include <stdint.h>

/* Windows x64 has one calling convention; this names it. */
#if defined(_WIN32)
#define ZERIN_CALL __cdecl
#else
#define ZERIN_CALL
#endif

/* Levels of a log line. */
enum { ZERIN_LOG_CRITICAL = 0, ZERIN_LOG_ERROR = 1, ZERIN_LOG_WARNING = 2, ZERIN_LOG_INFO = 3 };

/* Every line of a library's shared logger: its level (ZERIN_LOG_*), its tag and the bare message
 * (no timestamp, no newline), on the thread that logged it. Both texts are valid during the call
 * only. */
typedef void(ZERIN_CALL* ZerinLogLineCallback)(int32_t level, const char* tag, const char* message);

#endif /* ZERIN_LOG_LINE_H */
