// The POSIX debugger output: texts go to a watcher of the process, which must not be able to
// hold up the threads that log.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/debug_output.h"

namespace {

struct StallReport {
  long long writingMs;     // for 40 texts to a watcher that does not read
  int queued;              // how many of them it then found
  bool laterTextArrived;   // after it read them, a new text reached it
};

// In a forked child, whose watcher (this code) nobody else has taken: watches, stops reading,
// writes, then reads what came.
StallReport stallInChild() {
  StallReport report{-1, 0, false};
  const int watcher = socket(AF_UNIX, SOCK_DGRAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string name = Zerin::platform::debugOutputSocketName(getpid());
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  if (bind(watcher, reinterpret_cast<const sockaddr*>(&address),
           static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) != 0)
    return report;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 40; ++i) Zerin::platform::writeDebugOutput("stalled");
  report.writingMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  char buffer[64];
  while (recv(watcher, buffer, sizeof buffer, MSG_DONTWAIT) > 0) ++report.queued;
  Zerin::platform::writeDebugOutput("again");
  const ssize_t size = recv(watcher, buffer, sizeof buffer, MSG_DONTWAIT);
  report.laterTextArrived = size == 5 && std::memcmp(buffer, "again", 5) == 0;
  return report;
}

TEST(DebugOutputWatcher, OneThatStopsReadingCostsTheWritersOneWaitNotOnePerText) {
  int channel[2];
  ASSERT_EQ(pipe(channel), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const StallReport report = stallInChild();
    _exit(write(channel[1], &report, sizeof report) == sizeof report ? 0 : 1);
  }
  close(channel[1]);
  StallReport report{};
  const ssize_t size = read(channel[0], &report, sizeof report);
  close(channel[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(size, static_cast<ssize_t>(sizeof report));
  ASSERT_GE(report.writingMs, 0) << "the child could not watch itself";
  // The socket queues a few texts (10 by default); the first text that finds it full waits a
  // second, the rest are dropped at once. One wait per text would take half a minute.
  EXPECT_GE(report.queued, 1);
  EXPECT_LT(report.queued, 40);
  EXPECT_GE(report.writingMs, 900);
  EXPECT_LT(report.writingMs, 8000);
  EXPECT_TRUE(report.laterTextArrived) << "texts stay dropped after the watcher caught up";
}

}  // namespace
