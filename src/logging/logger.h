#pragma once
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/console.h"
#include "platform/local_time.h"
#include "zerin/log_line.h"

#if defined(__GNUC__)
#define ZERIN_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define ZERIN_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace Zerin {

// Callers use Error, Warning and Info; any other value still prints (as " (?) " or " *** ").
enum class LogLevel : int32_t {
  Critical = ZERIN_LOG_CRITICAL,
  Error = ZERIN_LOG_ERROR,
  Warning = ZERIN_LOG_WARNING,
  Info = ZERIN_LOG_INFO,
};

// Installed by the scripts: every line of this library's logger, with its level, its tag and
// the bare message.
using LogLineCallback = ZerinLogLineCallback;

// The 5-character marker a line carries for `level`, and the console attribute it is shown in.
const char* levelMarker(LogLevel level);
uint16_t consoleAttribute(LogLevel level);

// One timestamped line: "20261207 9:05:03.042 ERR [tag] message\n". Messages are cut at
// 2047 characters.
std::string formatLogLine(const char* tag, LogLevel level, const char* format, va_list args);
std::string formatLogLineAt(const platform::LocalTime& time, const char* tag, LogLevel level,
                            const char* format, va_list args);

// The process-wide logger of this library: the debugger output and stdout (or the null
// device when ZERIN_LOGGER_STDOUT_DISABLED is set), one whole line at a time.
class Logger {
 public:
  static Logger& instance();
  void write(LogLevel level, const std::string& line);

 private:
  Logger();

  std::mutex mutex;  // serialises the colour, both sinks and the flush of one line
  FILE* stream;
  bool flushEachLine = true;
  bool colouredConsole = false;
  platform::ConsoleHandle console = nullptr;
};

// Writes the line to both sinks, then hands level, tag and message to the callback of
// setLogLineCallback, outside the logger's lock.
void logMessage(const char* tag, LogLevel level, const char* format, ...) ZERIN_PRINTF_FORMAT(3, 4);

// Once it returns, the callback it replaced is not running on another thread and is never
// called again; from inside that callback's own call it returns at once. Null removes it.
void setLogLineCallback(LogLineCallback callback);

}  // namespace Zerin
