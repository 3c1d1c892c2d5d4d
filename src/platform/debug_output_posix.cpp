#include "platform/debug_output.h"
#include "platform/process_hooks.h"

namespace Zerin::platform {

void writeDebugOutput(const char* text) {
  if (auto hook = debugOutputHook()) hook(text);
}

}  // namespace Zerin::platform
