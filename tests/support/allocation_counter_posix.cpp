#include <errno.h>

#include <atomic>
#include <cstddef>

#include "allocation_counter.h"

using ZerinTest::noteAllocation;

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZERIN_SANITIZER_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZERIN_SANITIZER_ALLOCATOR 1
#endif

#if defined(ZERIN_SANITIZER_ALLOCATOR)
#include <sanitizer/allocator_interface.h>
#endif

#if defined(ZERIN_SANITIZER_ALLOCATOR)

namespace {

// The sanitizer owns malloc and operator new; it tells its hooks about every allocation.
void mallocHook(const volatile void*, size_t) { noteAllocation(); }
void freeHook(const volatile void*) {}

}  // namespace

namespace ZerinTest {

bool watchAllocations(const void*, std::string& error) {
  // The sanitizer keeps a few hook slots and never frees them: install once.
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(mallocHook, freeHook) != 0;
  if (!installed) error = "the sanitizer took no allocation hooks";
  return installed;
}

const char* allocationsCounted() { return "every allocation of the process (sanitizer allocator hooks)"; }

}  // namespace ZerinTest

#else

// The C library's own entry points, which the functions below hand every call to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

// The program's definitions take the place of the C library's for every library in the
// process, operator new included.
void* malloc(size_t size) {
  noteAllocation();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  noteAllocation();
  return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
  noteAllocation();
  return __libc_realloc(pointer, size);
}
void* memalign(size_t alignment, size_t size) {
  noteAllocation();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
  noteAllocation();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
  noteAllocation();
  void* pointer = __libc_memalign(alignment, size);
  if (!pointer) return ENOMEM;
  *out = pointer;
  return 0;
}
}

namespace ZerinTest {

bool watchAllocations(const void*, std::string&) { return true; }

const char* allocationsCounted() { return "every allocation of the process (the program's malloc family)"; }

}  // namespace ZerinTest

#endif
