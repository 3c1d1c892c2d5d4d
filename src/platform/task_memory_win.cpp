#include <objbase.h>

#include "platform/task_memory.h"

namespace Zerin::platform {

void* allocateTaskMemory(size_t size) { return CoTaskMemAlloc(size); }

void freeTaskMemory(void* memory) { CoTaskMemFree(memory); }

}  // namespace Zerin::platform
