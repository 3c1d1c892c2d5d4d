#include <cstdlib>

#include "platform/task_memory.h"

namespace Zerin::platform {

void* allocateTaskMemory(size_t size) { return std::malloc(size); }

void freeTaskMemory(void* memory) { std::free(memory); }

}  // namespace Zerin::platform
