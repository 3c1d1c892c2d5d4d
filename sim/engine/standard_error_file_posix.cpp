#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "standard_error_file.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#include <sanitizer/common_interface_defs.h>
#define ZERIN_SANITIZER_REPORTS 1
#endif
#endif

namespace ZerinSim {

namespace {

void sendSanitizerReportsTo(int descriptor) {
#if defined(ZERIN_SANITIZER_REPORTS)
  __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<intptr_t>(descriptor)));
#else
  (void)descriptor;
#endif
}

}  // namespace

StandardErrorFile::StandardErrorFile(const std::string& path) {
  const int file = open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) return;
  std::fflush(stderr);
  savedDescriptor = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (savedDescriptor >= 0) {
    sendSanitizerReportsTo(savedDescriptor);
    dup2(file, STDERR_FILENO);
  }
  close(file);
}

StandardErrorFile::~StandardErrorFile() {
  if (savedDescriptor < 0) return;
  std::fflush(stderr);
  dup2(savedDescriptor, STDERR_FILENO);
  sendSanitizerReportsTo(STDERR_FILENO);
  close(savedDescriptor);
}

void keepLoggerOffConsole() { setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 1); }

}  // namespace ZerinSim
