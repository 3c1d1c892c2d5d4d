#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bare_pipe.h"

namespace ZerinBench {

namespace {

std::string privateDirectory;

int descriptor(void* end) { return static_cast<int>(reinterpret_cast<intptr_t>(end)) - 1; }

}  // namespace

BarePipe::~BarePipe() {
  for (void* end : ends)
    if (end) ::close(descriptor(end));
}

bool BarePipe::open(std::string& error) {
  int pair[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
    error = std::strerror(errno);
    return false;
  }
  // Stored one above the descriptor, so that null means none.
  for (int i = 0; i < 2; ++i) ends[i] = reinterpret_cast<void*>(static_cast<intptr_t>(pair[i]) + 1);
  return true;
}

bool BarePipe::writeAll(int end, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t written = ::send(descriptor(ends[end]), bytes, size, MSG_NOSIGNAL);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool BarePipe::readAll(int end, void* buffer, size_t size) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (size > 0) {
    const ssize_t read = ::recv(descriptor(ends[end]), bytes, size, 0);
    if (read < 0 && errno == EINTR) continue;
    if (read <= 0) return false;
    bytes += read;
    size -= static_cast<size_t>(read);
  }
  return true;
}

bool enterPrivatePipeNamespace(std::string& error) {
  char pattern[] = "/tmp/zerin-bench-XXXXXX";
  if (!::mkdtemp(pattern) || ::setenv("ZERIN_PIPE_DIR", pattern, 1) != 0) {
    error = std::strerror(errno);
    return false;
  }
  privateDirectory = pattern;
  return true;
}

void leavePrivatePipeNamespace() {
  if (privateDirectory.empty()) return;
  ::unsetenv("ZERIN_PIPE_DIR");
  ::rmdir(privateDirectory.c_str());
  privateDirectory.clear();
}

}  // namespace ZerinBench
