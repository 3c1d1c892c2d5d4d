#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"

namespace Zerin::platform {

namespace {

constexpr const char* kSocketPrefix = "ZerinDebugOutput.";
constexpr timeval kWatcherWait{1, 0};

// Set when a text found the watcher's queue full for kWatcherWait: later texts do not wait
// until one is taken again, so a stalled watcher costs the logging threads one wait, not one
// per line. Any thread may log.
std::atomic<bool> watcherBehind{false};

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
  const int savedErrno = errno;
  const int sender = senderSocket();
  if (sender >= 0) {
    sockaddr_un address;
    const socklen_t size = watcherAddress(getpid(), address);
    const int flags = MSG_NOSIGNAL | (watcherBehind.load(std::memory_order_relaxed) ? MSG_DONTWAIT : 0);
    if (sendto(sender, text, std::strlen(text), flags, reinterpret_cast<const sockaddr*>(&address), size) >= 0)
      watcherBehind.store(false, std::memory_order_relaxed);
    else if (errno == EAGAIN || errno == EWOULDBLOCK)
      watcherBehind.store(true, std::memory_order_relaxed);
  }
  errno = savedErrno;
}

}  // namespace Zerin::platform
