#include "watchdog.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

extern char** environ;

Watchdog::Watchdog(std::chrono::seconds phaseBound, std::function<std::string()> phaseContext)
    : bound(phaseBound), context(std::move(phaseContext)), thread([this] { run(); }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    stopping = true;
  }
  changed.notify_all();
  thread.join();
}

void Watchdog::enter(const std::string& next) {
  std::lock_guard<std::mutex> lock(mutex);
  phase = next;
  since = std::chrono::steady_clock::now();
  changed.notify_all();
}

void Watchdog::run() {
  std::unique_lock<std::mutex> lock(mutex);
  while (!stopping) {
    const auto deadline = since + bound;
    if (changed.wait_until(lock, deadline) != std::cv_status::timeout || stopping) continue;
    if (std::chrono::steady_clock::now() < since + bound) continue;
    std::printf("watchdog: \"%s\" still under way after %lld s; the threads:\n", phase.c_str(),
                static_cast<long long>(bound.count()));
    std::fflush(stdout);
    printStacks(getpid());
    std::printf("%s", context().c_str());
    std::printf("watchdog: stuck in \"%s\"\neditor host: 0 passed, 1 failed\n", phase.c_str());
    std::fflush(stdout);
    _exit(124);
  }
}

void printStacks(int pid) {
  const std::string target = std::to_string(pid);
  const char* argv[] = {"gdb", "-p", target.c_str(), "-batch", "-nx", "-ex", "thread apply all bt", nullptr};
  pid_t debugger = 0;
  if (posix_spawnp(&debugger, "gdb", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::printf("(gdb is not installed: no stacks)\n");
    return;
  }
  int status = 0;
  waitpid(debugger, &status, 0);
  std::fflush(stdout);
}
