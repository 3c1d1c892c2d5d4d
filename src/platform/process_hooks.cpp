#include "platform/process_hooks.h"

namespace Zerin::platform {

DebugOutputHook debugOutputHook() {
  static const auto hook = reinterpret_cast<DebugOutputHook>(findProgramSymbol(kDebugOutputHookName));
  return hook;
}

ConsoleAttributeHook consoleAttributeHook() {
  static const auto hook =
      reinterpret_cast<ConsoleAttributeHook>(findProgramSymbol(kConsoleAttributeHookName));
  return hook;
}

}  // namespace Zerin::platform
