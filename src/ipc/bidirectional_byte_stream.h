#pragma once
#include <cstdint>
#include <string>

namespace Zerin {

// A byte stream that one thread may read while another writes. Operations return false on
// failure and never throw; a failure worth reporting leaves its Windows error code behind
// (hasError), while the end of the stream (peer gone, closed by us) leaves none.
class IBidirectionalByteStream {
 public:
  virtual ~IBidirectionalByteStream() = default;
  virtual std::string getName() const = 0;
  virtual bool isClosed() const = 0;
  virtual void close() = 0;
  // Writes up to `size` bytes; on success `size` is the count written. `timeoutMs` 0 means no
  // limit; a negative limit has already expired.
  virtual bool write(const void* data, uint32_t& size, int64_t timeoutMs) = 0;
  // Blocks until some bytes arrive; on success `size` is the count read (maybe fewer).
  virtual bool read(void* buffer, uint32_t& size) = 0;
  virtual bool flush() = 0;
  virtual bool hasError() const = 0;
  virtual uint32_t getErrorCode() const = 0;
  virtual std::string getErrorMessage() const = 0;
};

}  // namespace Zerin
