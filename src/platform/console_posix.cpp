#include <unistd.h>

#include <cstdio>

#include "platform/console.h"

namespace Zerin::platform {

ConsoleHandle standardOutputConsole() { return stdout; }

void setConsoleTextAttribute(ConsoleHandle console, uint16_t attribute) {
  auto* stream = static_cast<FILE*>(console);
  if (!stream || !isatty(fileno(stream))) return;
  const char* ansi = "\033[0m";
  if (attribute == 12) ansi = "\033[91m";
  else if (attribute == 14) ansi = "\033[93m";
  std::fputs(ansi, stream);
  // As on a console the colour takes effect now: a reset left in the buffer would colour
  // whatever reaches the terminal next by other ways (standard error, another stream).
  std::fflush(stream);
}

}  // namespace Zerin::platform
