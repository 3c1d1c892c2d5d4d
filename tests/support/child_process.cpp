#include "child_process.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace ZerinTest {

std::string programPath() {
#if defined(_WIN32)
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  return path;
#else
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return std::string(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
}

void setEnvironmentVariable(const std::string& name, const std::string* value) {
#if defined(_WIN32)
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) setenv(name.c_str(), value->c_str(), 1);
  else unsetenv(name.c_str());
#endif
}

ChildResult runTestInChild(const std::string& testName,
                           const std::vector<std::pair<std::string, std::string>>& environment) {
  for (const auto& [name, value] : environment) setEnvironmentVariable(name, &value);
  const std::string command = "\"" + programPath() + "\" --gtest_also_run_disabled_tests --gtest_filter=" +
                              testName;
  ChildResult result;
#if defined(_WIN32)
  FILE* pipe = _popen(command.c_str(), "rb");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  if (pipe) {
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, count);
#if defined(_WIN32)
    result.exitCode = _pclose(pipe);
#else
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }
  for (const auto& entry : environment) setEnvironmentVariable(entry.first, nullptr);
  return result;
}

}  // namespace ZerinTest
