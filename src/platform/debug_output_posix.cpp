#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"

namespace Zerin::platform {

namespace {

constexpr const char* kSocketPrefix = "ZerinDebugOutput.";
constexpr timeval kWatcherWait{1, 0};
constexpr std::chrono::nanoseconds kNoWatcherPause = std::chrono::milliseconds(100);

// Any thread may log; both are hints, so relaxed order is enough.
// Set when a text found the watcher's queue full for kWatcherWait: later texts do not wait
// until one is taken again, so a stalled watcher costs the logging threads one wait, not one
// per line.
std::atomic<bool> watcherBehind{false};
// When nobody watches, the next text is offered only after this steady-clock time: a refused
// send costs a system call, a clock read does not.
std::atomic<int64_t> nextOfferAt{0};

socklen_t watcherAddress(long pid, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  // Abstract namespace (leading NUL): nothing in the file system to create or clean up.
  const int length =
      std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1, "%s%ld", kSocketPrefix, pid);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<size_t>(length));
}

int senderSocket() {
  static const int sender = [] {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &kWatcherWait, sizeof kWatcherWait);
    return fd;
  }();
  return sender;
}

}  // namespace

std::string debugOutputSocketName(long pid) {
  sockaddr_un address;
  const socklen_t size = watcherAddress(pid, address);
  return std::string(address.sun_path + 1, size - offsetof(sockaddr_un, sun_path) - 1);
}

void writeDebugOutput(const char* text) {
  const int64_t now = std::chrono::steady_clock::now().time_since_epoch().count();
  if (now < nextOfferAt.load(std::memory_order_relaxed)) return;
  const int sender = senderSocket();
  if (sender < 0) return;
  const int savedErrno = errno;
  sockaddr_un address;
  const socklen_t size = watcherAddress(getpid(), address);
  const int flags = MSG_NOSIGNAL | (watcherBehind.load(std::memory_order_relaxed) ? MSG_DONTWAIT : 0);
  if (sendto(sender, text, std::strlen(text), flags, reinterpret_cast<const sockaddr*>(&address), size) >= 0) {
    watcherBehind.store(false, std::memory_order_relaxed);
  } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
    watcherBehind.store(true, std::memory_order_relaxed);
  } else if (errno == ECONNREFUSED || errno == ENOENT) {
    nextOfferAt.store(now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(kNoWatcherPause).count(),
                      std::memory_order_relaxed);
  }
  errno = savedErrno;
}

}  // namespace Zerin::platform
