#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "ipc/read_write_pipe.h"
#include "platform/named_pipe.h"

namespace Zerin {

// The server end of a named pipe. It keeps one instance listening and hands each client that
// connects over as a ReadWritePipe of its own (the same stream contract as the client end),
// so that several clients are served at once, each on its own instance.
class PipeServer {
 public:
  explicit PipeServer(const std::string& name, uint32_t maxInstances = platform::kUnlimitedPipeInstances,
                      uint32_t bufferSize = 4096);
  ~PipeServer();  // stop()
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  // Creates the first listening instance: clients find the pipe from now on. False, with
  // getErrorCode(), when it cannot be created.
  bool listen();
  // Waits for the next client and hands its connection over. Null once stopped, or when the
  // pipe fails (getErrorCode()). One caller at a time.
  std::shared_ptr<ReadWritePipe> accept();
  // Any thread: ends a waiting accept() and every later one, and closes the listening
  // instance. Connections handed out stay open.
  void stop();

  const std::string& getName() const { return name; }
  // The Windows code of the latest failure to create or pair an instance; 0 when none.
  uint32_t getErrorCode() const { return lastError.load(); }

 private:
  bool createInstanceLocked();
  void closeInstanceLocked();

  const std::string name;
  const uint32_t maxInstances;
  const uint32_t bufferSize;
  const platform::Handle connectEvent;
  // Guards instance and stopped, so that stop() cannot close the instance between accept()
  // taking it and starting to wait on it.
  std::mutex mutex;
  platform::Handle instance = platform::invalidHandle();
  bool stopped = false;
  std::atomic<uint32_t> lastError{0};
};

}  // namespace Zerin
