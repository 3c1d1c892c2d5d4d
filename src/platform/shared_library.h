#pragma once
#include <string>

namespace Zerin::platform {

// A shared library loaded at run time by file name, through the system's own search, or by path.
// Closing it is the owner's choice: a library whose threads may still call back into us must
// stay loaded for the life of the process.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  // "ZerinLib" -> "ZerinLib.dll" or "libZerinLib.so".
  static std::string fileName(const std::string& name);
  // Where the system's search looks for a file name without a folder, for log lines.
  static const char* searchDescription();

  // False when the system finds or loads nothing. `failure` then holds the system's text (POSIX),
  // or is empty with the system's code in lastSystemError() (Windows).
  bool open(const std::string& fileName, std::string& failure);
  // The address of an exported function, or null.
  void* symbol(const char* name) const;
  void close();
  bool isOpen() const { return handle != nullptr; }

 private:
  void* handle = nullptr;
};

// The folder of the running program, without a trailing separator.
std::string programFolder();
// The path of `fileName` in that folder.
std::string besideProgram(const std::string& fileName);

}  // namespace Zerin::platform
