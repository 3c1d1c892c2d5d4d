#pragma once
#include <string>

namespace ZerinSim {

// Sends what the process writes to its standard error (the C runtime's descriptor 2, which
// every module of the process shares) into a file while it lives, and restores it after, as an
// engine keeps its plug-ins' console output in a log file. Sanitizer reports still reach the
// original standard error. One at a time.
class StandardErrorFile {
 public:
  // An empty `path` sends standard error to the null device.
  explicit StandardErrorFile(const std::string& path);
  ~StandardErrorFile();
  StandardErrorFile(const StandardErrorFile&) = delete;
  StandardErrorFile& operator=(const StandardErrorFile&) = delete;

  // False when the file could not be opened; standard error is then left as it was.
  bool active() const { return savedDescriptor >= 0; }

 private:
  int savedDescriptor = -1;  // the original standard error, while redirected
};

// Keeps the shared logger's lines off the console (ZERIN_LOGGER_STDOUT_DISABLED) for the rest
// of the process; they still reach the debugger output. Works only before the first line is
// logged, since the logger chooses its stream once.
void keepLoggerOffConsole();

}  // namespace ZerinSim
