#pragma once
// Two connected ends of the system's own pipe (a Unix stream socket pair on POSIX, a named pipe
// and its client on Windows), read and written with plain blocking calls and nothing else: the
// floor of the IPC measures.
#include <cstddef>
#include <string>

namespace ZerinBench {

class BarePipe {
 public:
  BarePipe() = default;
  ~BarePipe();
  BarePipe(const BarePipe&) = delete;
  BarePipe& operator=(const BarePipe&) = delete;

  // False with `error` when the system gave no pipe.
  bool open(std::string& error);
  // End 0 or 1; whole buffers, false when the pipe failed.
  bool writeAll(int end, const void* data, size_t size);
  bool readAll(int end, void* buffer, size_t size);

 private:
  void* ends[2] = {nullptr, nullptr};
};

// Named pipes of this process get a namespace of their own (a fresh directory for the sockets
// on POSIX; Windows' pipe namespace needs none), so that a benchmark meets no other program's
// service. Removed again by leavePrivatePipeNamespace.
bool enterPrivatePipeNamespace(std::string& error);
void leavePrivatePipeNamespace();

}  // namespace ZerinBench
