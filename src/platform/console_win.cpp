#include <windows.h>

#include "platform/console.h"
#include "platform/process_hooks.h"

namespace Zerin::platform {

ConsoleHandle standardOutputConsole() { return GetStdHandle(STD_OUTPUT_HANDLE); }

void setConsoleTextAttribute(ConsoleHandle console, uint16_t attribute) {
  SetConsoleTextAttribute(console, attribute);
  if (auto hook = consoleAttributeHook()) hook(attribute);
}

}  // namespace Zerin::platform
