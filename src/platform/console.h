#pragma once
#include <cstdint>

namespace Zerin::platform {

using ConsoleHandle = void*;

// The console behind standard output (GetStdHandle(STD_OUTPUT_HANDLE) on Windows; stdout on
// POSIX).
ConsoleHandle standardOutputConsole();

// Win32 console text attribute (7 grey, 12 bright red, 14 bright yellow), in force at once. On
// POSIX the matching ANSI colour is written to the stream, and only when it is a terminal.
void setConsoleTextAttribute(ConsoleHandle console, uint16_t attribute);

}  // namespace Zerin::platform
