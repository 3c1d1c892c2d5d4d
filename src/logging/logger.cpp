#include "logging/logger.h"

#include "logging/revocable_callback.h"
#include "platform/debug_output.h"
#include "platform/environment.h"
#include "platform/streams.h"

namespace Zerin {

namespace {

constexpr size_t kMessageBufferSize = 2048;
constexpr const char* kStdoutDisabledVariable = "ZERIN_LOGGER_STDOUT_DISABLED";

// Set by the scripting thread, called by every thread that logs.
RevocableCallback<LogLineCallback> logLineCallback;

using MessageBuffer = char[kMessageBufferSize];

void formatMessage(MessageBuffer& message, const char* format, va_list args) {
  std::vsnprintf(message, sizeof message, format, args);
  message[sizeof message - 1] = '\0';
}

void appendPadded(std::string& out, int value, size_t width) {
  const std::string digits = std::to_string(value);
  if (digits.size() < width) out.append(width - digits.size(), '0');
  out += digits;
}

// Chosen once per process: a second logger instance must not open a second null device.
FILE* chooseStream() {
  static FILE* const chosen = [] {
    std::string ignored;
    if (platform::readEnvironmentVariable(kStdoutDisabledVariable, ignored)) {
      // Without the null device the lines go nowhere rather than to stdout: the variable
      // asked for silence.
      return std::fopen(platform::nullDeviceName(), "w");
    }
    return stdout;
  }();
  return chosen;
}

std::string assembleLogLine(const platform::LocalTime& time, const char* tag, LogLevel level,
                            const char* message) {
  std::string line;
  line.reserve(48 + std::char_traits<char>::length(tag) + std::char_traits<char>::length(message));
  line += std::to_string(time.year);
  appendPadded(line, time.month, 2);
  appendPadded(line, time.day, 2);
  line += ' ';
  line += std::to_string(time.hour);
  line += ':';
  appendPadded(line, time.minute, 2);
  line += ':';
  appendPadded(line, time.second, 2);
  line += '.';
  appendPadded(line, time.millisecond, 3);
  line += levelMarker(level);
  line += '[';
  line += tag;
  line += "] ";
  line += message;
  line += '\n';
  return line;
}

}  // namespace

const char* levelMarker(LogLevel level) {
  // The markers are the system's own text (tests match them): must not be corrected.
  switch (static_cast<int32_t>(level)) {
    case 0: return " CRI ";
    case 1: return " ERR ";
    case 2: return " WAR ";
    case 3: return " --- ";
    case 5: return " *** ";
    default: return " (?) ";
  }
}

uint16_t consoleAttribute(LogLevel level) {
  switch (static_cast<int32_t>(level)) {
    case 0:
    case 1: return 12;
    case 2: return 14;
    default: return 7;
  }
}

std::string formatLogLineAt(const platform::LocalTime& time, const char* tag, LogLevel level,
                            const char* format, va_list args) {
  MessageBuffer message;
  formatMessage(message, format, args);
  return assembleLogLine(time, tag, level, message);
}

std::string formatLogLine(const char* tag, LogLevel level, const char* format, va_list args) {
  return formatLogLineAt(platform::localTimeNow(), tag, level, format, args);
}

Logger::Logger() : stream(chooseStream()) {
  if (stream) platform::setTextMode(stream);
  if (stream == stdout) {
    colouredConsole = true;
    console = platform::standardOutputConsole();
  }
}

Logger& Logger::instance() {
  static Logger logger;
  return logger;
}

void Logger::write(LogLevel level, const std::string& line) {
  std::lock_guard<std::mutex> lock(mutex);
  if (colouredConsole) platform::setConsoleTextAttribute(console, consoleAttribute(level));
  platform::writeDebugOutput(line.c_str());
  if (stream) {
    std::fputs(line.c_str(), stream);
    if (flushEachLine) std::fflush(stream);
  }
  if (colouredConsole) platform::setConsoleTextAttribute(console, 7);
}

void logMessage(const char* tag, LogLevel level, const char* format, ...) {
  Logger& logger = Logger::instance();
  MessageBuffer message;
  va_list args;
  va_start(args, format);
  formatMessage(message, format, args);
  va_end(args);
  logger.write(level, assembleLogLine(platform::localTimeNow(), tag, level, message));
  // Outside the lock: a callback that logs itself must not deadlock.
  logLineCallback.call(static_cast<int32_t>(level), tag, static_cast<const char*>(message));
}

void setLogLineCallback(LogLineCallback callback) { logLineCallback.replace(callback); }

}  // namespace Zerin
