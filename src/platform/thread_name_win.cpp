#include <windows.h>

#include "platform/thread_name.h"

namespace Zerin::platform {

namespace {

using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// Windows 10 1607 and later; looked up so that the library still loads on older systems.
void* kernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernelbase.dll");
  FARPROC function = kernel ? GetProcAddress(kernel, name) : nullptr;
  if (!function) {
    kernel = GetModuleHandleA("kernel32.dll");
    function = kernel ? GetProcAddress(kernel, name) : nullptr;
  }
  return reinterpret_cast<void*>(function);
}

}  // namespace

ThreadHandle currentThread() { return GetCurrentThread(); }

void setThreadDescription(ThreadHandle thread, const std::wstring& name) {
  static const auto function = reinterpret_cast<SetDescription>(kernelFunction("SetThreadDescription"));
  if (function) function(thread, name.c_str());
}

std::wstring currentThreadDescription() {
  static const auto function = reinterpret_cast<GetDescription>(kernelFunction("GetThreadDescription"));
  std::wstring result;
  PWSTR name = nullptr;
  if (function && SUCCEEDED(function(GetCurrentThread(), &name)) && name) {
    result = name;
    LocalFree(name);
  }
  return result;
}

}  // namespace Zerin::platform
