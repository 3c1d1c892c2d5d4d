#include <windows.h>

#include "platform/process_hooks.h"

namespace Zerin::platform {

void* findProgramSymbol(const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(nullptr), name));
}

}  // namespace Zerin::platform
