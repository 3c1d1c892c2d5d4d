#include <windows.h>

#include "platform/shared_library.h"

namespace Zerin::platform {

std::string SharedLibrary::fileName(const std::string& name) { return name + ".dll"; }

// The standard search for a name without a folder; an installed runtime puts its folder on PATH.
const char* SharedLibrary::searchDescription() {
  return "the application's folder, the system folders, the current folder and PATH";
}

bool SharedLibrary::open(const std::string& fileName, std::string& failure) {
  close();
  // A path: the libraries it needs are looked for beside it first, as for a program.
  const bool path = fileName.find_first_of("\\/") != std::string::npos;
  handle =
      path ? LoadLibraryExA(fileName.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) : LoadLibraryA(fileName.c_str());
  // The reason stays in GetLastError, for the caller to put in words.
  if (!handle) failure.clear();
  return handle != nullptr;
}

void* SharedLibrary::symbol(const char* name) const {
  return handle ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name)) : nullptr;
}

void SharedLibrary::close() {
  if (handle) FreeLibrary(static_cast<HMODULE>(handle));
  handle = nullptr;
}

std::string programFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length);
  const auto slash = program.find_last_of("\\/");
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string besideProgram(const std::string& fileName) { return programFolder() + "\\" + fileName; }

}  // namespace Zerin::platform
