#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "ipc/bidirectional_byte_stream.h"
#include "platform/named_pipe.h"

namespace Zerin {

// One end of a named pipe opened for overlapped I/O: the client end, or an instance a server
// has paired with a client. Reads and writes have an event each, so that one thread can block
// in read while another writes. Writers must be serialised by the caller; one reader at a time.
class ReadWritePipe : public IBidirectionalByteStream {
 public:
  // Takes ownership of `handle`, an open pipe. `name` is for thread names and log lines.
  ReadWritePipe(const std::string& name, platform::Handle handle);
  ~ReadWritePipe() override;
  ReadWritePipe(const ReadWritePipe&) = delete;
  ReadWritePipe& operator=(const ReadWritePipe&) = delete;

  std::string getName() const override;
  bool isClosed() const override;
  // Any thread; ends the pending operations of every thread. Idempotent.
  void close() override;
  bool write(const void* data, uint32_t& size, int64_t timeoutMs) override;
  bool read(void* buffer, uint32_t& size) override;
  // Returns when the other end has read everything written.
  bool flush() override;
  bool hasError() const override;
  uint32_t getErrorCode() const override;
  std::string getErrorMessage() const override;

  // Called on the reading thread whenever a read finds nothing to take and is about to wait,
  // so that the reader can hand on what it holds before it sleeps. Set before the first read.
  void setBeforeReadWaits(std::function<void()> hook) { beforeReadWaits = std::move(hook); }

 private:
  bool recordFailure(uint32_t error);

  const std::string name;
  // invalidHandle() once closed. Atomic: close() may run while other threads read it.
  std::atomic<platform::Handle> handle;
  const platform::Handle readEvent;
  const platform::Handle writeEvent;
  // The code the latest read, write or flush recorded (0: none). Atomic: the reader and a
  // writer set it from their own threads; it is meaningful to the thread whose call just failed.
  std::atomic<uint32_t> lastError{0};
  std::function<void()> beforeReadWaits;  // read by the reading thread only
};

}  // namespace Zerin
