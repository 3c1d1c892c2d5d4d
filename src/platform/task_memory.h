#pragma once
#include <cstddef>

namespace Zerin::platform {

// COM task memory (CoTaskMemAlloc / CoTaskMemFree): what the scripts' marshaller frees strings
// with. malloc / free on POSIX, which is what the marshaller uses there.
void* allocateTaskMemory(size_t size);
void freeTaskMemory(void* memory);

}  // namespace Zerin::platform
