#include <dlfcn.h>
#include <unistd.h>

#include "dynamic_library.h"

namespace ZerinSim {

bool DynamicLibrary::open(const std::string& path) {
  close();
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* text = dlerror();
    lastError = text ? text : "dlopen failed";
  }
  return handle != nullptr;
}

void* DynamicLibrary::symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }

void DynamicLibrary::close() {
  if (handle) dlclose(handle);
  handle = nullptr;
}

std::string programDirectory() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
  const auto slash = program.rfind('/');
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string sharedLibraryBesideProgram(const std::string& name) {
  return programDirectory() + "/lib" + name + ".so";
}

}  // namespace ZerinSim
