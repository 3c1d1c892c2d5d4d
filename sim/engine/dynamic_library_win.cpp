#include <windows.h>

#include "dynamic_library.h"

namespace ZerinSim {

bool DynamicLibrary::open(const std::string& path) {
  close();
  handle = LoadLibraryA(path.c_str());
  if (!handle) lastError = "LoadLibrary failed with error " + std::to_string(GetLastError());
  return handle != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const {
  return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)) : nullptr;
}

void DynamicLibrary::close() {
  if (handle) FreeLibrary(static_cast<HMODULE>(handle));
  handle = nullptr;
}

std::string programDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length);
  const auto slash = program.find_last_of("\\/");
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string sharedLibraryBesideProgram(const std::string& name) {
  return programDirectory() + "\\" + name + ".dll";
}

}  // namespace ZerinSim
