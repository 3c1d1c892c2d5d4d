#pragma once

namespace Zerin::platform {

// The debugger output (OutputDebugStringA on Windows; nothing of the system's on POSIX), and
// in every build the process capture hook.
void writeDebugOutput(const char* text);

}  // namespace Zerin::platform
