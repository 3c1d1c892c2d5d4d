#include <windows.h>

#include "platform/debug_output.h"

namespace Zerin::platform {

void writeDebugOutput(const char* text) { OutputDebugStringA(text); }

}  // namespace Zerin::platform
