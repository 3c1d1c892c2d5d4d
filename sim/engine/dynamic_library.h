#pragma once
#include <string>

namespace ZerinSim {

// A shared library loaded at run time (LoadLibrary / dlopen).
class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary() { close(); }
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool open(const std::string& path);
  void* symbol(const char* name) const;
  void close();
  bool isOpen() const { return handle != nullptr; }
  const std::string& error() const { return lastError; }

 private:
  void* handle = nullptr;
  std::string lastError;
};

// The folder of the running program, without a trailing separator.
std::string programDirectory();

// "ZerinEngineBridge" -> "<program folder>\ZerinEngineBridge.dll" or ".../libZerinEngineBridge.so".
std::string sharedLibraryBesideProgram(const std::string& name);

}  // namespace ZerinSim
