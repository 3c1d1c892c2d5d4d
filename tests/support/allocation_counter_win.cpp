#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstring>

#include "allocation_counter.h"

using ZerinTest::noteAllocation;

namespace {

// The C library's functions as the module imported them; the hooks hand every call on.
using Malloc = void*(__cdecl*)(size_t);
using Calloc = void*(__cdecl*)(size_t, size_t);
using Realloc = void*(__cdecl*)(void*, size_t);
using AlignedMalloc = void*(__cdecl*)(size_t, size_t);
using Strdup = char*(__cdecl*)(const char*);
std::atomic<Malloc> originalMalloc{nullptr};
std::atomic<Calloc> originalCalloc{nullptr};
std::atomic<Realloc> originalRealloc{nullptr};
std::atomic<AlignedMalloc> originalAlignedMalloc{nullptr};
std::atomic<Strdup> originalStrdup{nullptr};

void* __cdecl countingMalloc(size_t size) {
  noteAllocation();
  return originalMalloc.load()(size);
}
void* __cdecl countingCalloc(size_t count, size_t size) {
  noteAllocation();
  return originalCalloc.load()(count, size);
}
void* __cdecl countingRealloc(void* pointer, size_t size) {
  noteAllocation();
  return originalRealloc.load()(pointer, size);
}
void* __cdecl countingAlignedMalloc(size_t size, size_t alignment) {
  noteAllocation();
  return originalAlignedMalloc.load()(size, alignment);
}
char* __cdecl countingStrdup(const char* text) {
  noteAllocation();
  return originalStrdup.load()(text);
}

template <class Function>
void redirect(ULONG_PTR& slot, std::atomic<Function>& original, Function hook) {
  const auto current = reinterpret_cast<Function>(slot);
  if (current == hook) return;  // watched before
  original.store(current);
  DWORD protection = 0;
  VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &protection);
  slot = reinterpret_cast<ULONG_PTR>(hook);
  VirtualProtect(&slot, sizeof slot, protection, &protection);
}

// Redirects one import by name; false when the name is none of the allocation functions.
bool redirectImport(const char* name, ULONG_PTR& slot) {
  if (std::strcmp(name, "malloc") == 0) redirect<Malloc>(slot, originalMalloc, countingMalloc);
  else if (std::strcmp(name, "calloc") == 0) redirect<Calloc>(slot, originalCalloc, countingCalloc);
  else if (std::strcmp(name, "realloc") == 0) redirect<Realloc>(slot, originalRealloc, countingRealloc);
  else if (std::strcmp(name, "_aligned_malloc") == 0)
    redirect<AlignedMalloc>(slot, originalAlignedMalloc, countingAlignedMalloc);
  else if (std::strcmp(name, "_strdup") == 0) redirect<Strdup>(slot, originalStrdup, countingStrdup);
  else return false;
  return true;
}

}  // namespace

namespace ZerinTest {

bool watchAllocations(const void* addressInModule, std::string& error) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(addressInModule), &module)) {
    error = "no module holds the address";
    return false;
  }
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  bool mallocFound = false;
  for (auto* library = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && library->Name != 0; ++library) {
    const DWORD lookup = library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + lookup);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(byName->Name);
      if (redirectImport(name, slots->u1.Function) && std::strcmp(name, "malloc") == 0) mallocFound = true;
    }
  }
  if (!mallocFound) error = "the module imports no malloc";
  return mallocFound;
}

const char* allocationsCounted() {
  return "the plug-in's own calls of the C library's allocation functions (its import table)";
}

}  // namespace ZerinTest
