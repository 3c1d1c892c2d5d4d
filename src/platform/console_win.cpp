#include <windows.h>

#include "platform/console.h"

namespace Zerin::platform {

ConsoleHandle standardOutputConsole() { return GetStdHandle(STD_OUTPUT_HANDLE); }

void setConsoleTextAttribute(ConsoleHandle console, uint16_t attribute) {
  SetConsoleTextAttribute(console, attribute);
}

}  // namespace Zerin::platform
