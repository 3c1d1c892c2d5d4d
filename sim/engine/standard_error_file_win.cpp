#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "standard_error_file.h"

namespace ZerinSim {

StandardErrorFile::StandardErrorFile(const std::string& path) {
  const int file = _open(path.empty() ? "NUL" : path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
  if (file < 0) return;
  std::fflush(stderr);
  savedDescriptor = _dup(_fileno(stderr));
  if (savedDescriptor >= 0) _dup2(file, _fileno(stderr));
  _close(file);
}

StandardErrorFile::~StandardErrorFile() {
  if (savedDescriptor < 0) return;
  std::fflush(stderr);
  _dup2(savedDescriptor, _fileno(stderr));
  _close(savedDescriptor);
}

// The libraries read the variable with GetEnvironmentVariableA, which _putenv_s also sets.
void keepLoggerOffConsole() { _putenv_s("ZERIN_LOGGER_STDOUT_DISABLED", "1"); }

}  // namespace ZerinSim
