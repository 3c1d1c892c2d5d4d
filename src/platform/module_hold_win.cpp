#include <windows.h>

#include "platform/module_hold.h"

namespace Zerin::platform {

ModuleHold& ModuleHold::operator=(ModuleHold&& other) noexcept {
  if (this != &other) {
    release();
    module = other.module;
    other.module = nullptr;
  }
  return *this;
}

ModuleHold ModuleHold::acquire() {
  ModuleHold hold;
  HMODULE handle = nullptr;
  // Counted like a LoadLibrary of the module that holds this very function.
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                         reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&ModuleHold::acquire)), &handle))
    hold.module = handle;
  return hold;
}

bool processIsEnding() {
  using ShutdownInProgress = BOOLEAN(WINAPI*)();
  static const auto inProgress = reinterpret_cast<ShutdownInProgress>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
  return inProgress && inProgress();
}

void ModuleHold::release() {
  if (!module) return;
  FreeLibrary(static_cast<HMODULE>(module));
  module = nullptr;
}

}  // namespace Zerin::platform
