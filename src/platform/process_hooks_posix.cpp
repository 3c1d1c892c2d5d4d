#include <dlfcn.h>

#include "platform/process_hooks.h"

namespace Zerin::platform {

void* findProgramSymbol(const char* name) {
  void* program = dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
  void* symbol = program ? dlsym(program, name) : nullptr;
  if (program) dlclose(program);
  return symbol;
}

}  // namespace Zerin::platform
