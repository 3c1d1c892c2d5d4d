#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ipc/read_write_pipe.h"
#include "ipc/server/pipe_server.h"
#include "platform/named_pipe.h"
#include "platform/system_error.h"

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

// Pipes of the stream tests. Each test process uses names of its own, so that programs
// running at the same time never meet on a pipe.
namespace ZerinTest {

inline std::string privatePipeName(const std::string& purpose) {
  static std::atomic<int> counter{0};
#if defined(_WIN32)
  const int process = _getpid();
#else
  const int process = getpid();
#endif
  return "\\\\.\\pipe\\zerin-stream-" + std::to_string(process) + "-" + purpose + "-" +
         std::to_string(counter++);
}

// The client end, opened as the IPC client opens it: wait for a free instance and open it,
// again while another client takes the instance first.
inline std::shared_ptr<Zerin::ReadWritePipe> openClient(const std::string& name, uint32_t waitMs = 2000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return nullptr;
    if (!Zerin::platform::waitNamedPipe(name, static_cast<uint32_t>(left.count()))) return nullptr;
    const Zerin::platform::Handle handle = Zerin::platform::openNamedPipe(name);
    if (handle != Zerin::platform::invalidHandle()) return std::make_shared<Zerin::ReadWritePipe>(name, handle);
    if (Zerin::platform::lastSystemError() != Zerin::platform::kErrorPipeBusy) return nullptr;
  }
}

// A server with one connected client.
struct ConnectedPipe {
  explicit ConnectedPipe(const std::string& purpose) : server(privatePipeName(purpose)) {
    EXPECT_TRUE(server.listen()) << server.getErrorCode();
    client = openClient(server.getName());
    EXPECT_TRUE(client);
    serverEnd = server.accept();
    EXPECT_TRUE(serverEnd);
  }
  Zerin::PipeServer server;
  std::shared_ptr<Zerin::ReadWritePipe> client;
  std::shared_ptr<Zerin::ReadWritePipe> serverEnd;
};

// Reads exactly `count` bytes, or fewer if the stream ends first.
inline std::vector<uint8_t> readBytes(Zerin::IBidirectionalByteStream& stream, size_t count) {
  std::vector<uint8_t> bytes(count);
  size_t done = 0;
  while (done < count) {
    uint32_t size = static_cast<uint32_t>(count - done);
    if (!stream.read(bytes.data() + done, size)) break;
    done += size;
  }
  bytes.resize(done);
  return bytes;
}

inline std::vector<uint8_t> patternBytes(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

}  // namespace ZerinTest
