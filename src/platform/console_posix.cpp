#include <unistd.h>

#include <cstdio>

#include "platform/console.h"
#include "platform/process_hooks.h"

namespace Zerin::platform {

ConsoleHandle standardOutputConsole() { return stdout; }

void setConsoleTextAttribute(ConsoleHandle console, uint16_t attribute) {
  auto* stream = static_cast<FILE*>(console);
  if (stream && isatty(fileno(stream))) {
    const char* ansi = "\033[0m";
    if (attribute == 12) ansi = "\033[91m";
    else if (attribute == 14) ansi = "\033[93m";
    std::fputs(ansi, stream);
  }
  if (auto hook = consoleAttributeHook()) hook(attribute);
}

}  // namespace Zerin::platform
