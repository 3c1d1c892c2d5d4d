#include <dlfcn.h>
#include <unistd.h>

#include "platform/shared_library.h"

namespace Zerin::platform {

namespace {

// The folder of the module this code is linked into, with a trailing '/'; empty when unknown.
std::string folderOfThisModule() {
  Dl_info info{};
  if (!dladdr(reinterpret_cast<void*>(&folderOfThisModule), &info) || !info.dli_fname) return {};
  const std::string path = info.dli_fname;
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string SharedLibrary::fileName(const std::string& name) { return "lib" + name + ".so"; }

const char* SharedLibrary::searchDescription() {
  return "the dynamic linker's search path (LD_LIBRARY_PATH, the system's library folders) and beside the "
         "plug-in";
}

bool SharedLibrary::open(const std::string& fileName, std::string& failure) {
  close();
  // RTLD_LOCAL: the runtime's symbols must not stand in for anyone else's.
  handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle) return true;
  const char* text = dlerror();
  failure = text ? text : "dlopen failed";
  // A path names its one place; a bare name is looked for in the plug-in's own folder too, as its
  // build-tree RUNPATH ($ORIGIN) says, explicitly because a sanitizer's dlopen interceptor
  // searches as its own module, not as ours.
  if (fileName.find('/') != std::string::npos) return false;
  const std::string folder = folderOfThisModule();
  if (!folder.empty()) handle = dlopen((folder + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle != nullptr;
}

void* SharedLibrary::symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }

void SharedLibrary::close() {
  if (handle) dlclose(handle);
  handle = nullptr;
}

std::string programFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string program(path, length > 0 ? static_cast<size_t>(length) : 0);
  const auto slash = program.rfind('/');
  return slash == std::string::npos ? "." : program.substr(0, slash);
}

std::string besideProgram(const std::string& fileName) { return programFolder() + "/" + fileName; }

}  // namespace Zerin::platform
