#include "ipc/read_write_pipe.h"

#include <chrono>
#include <limits>
#include <thread>

#include "logging/utilities.h"
#include "platform/system_error.h"

namespace Zerin {

namespace {

// The system's own tag (tests match it): must not be corrected.
constexpr const char* kCloseTag = "Zerin::ReadWritePipe::close";

int64_t limitInNanoseconds(int64_t timeoutMs) {
  if (timeoutMs < 0) return -1;  // already expired
  constexpr int64_t kLargest = std::numeric_limits<int64_t>::max() / 1000000;
  return timeoutMs > kLargest ? std::numeric_limits<int64_t>::max() : timeoutMs * 1000000;
}

}  // namespace

ReadWritePipe::ReadWritePipe(const std::string& name, platform::Handle handle)
    : name(name), handle(handle), readEvent(platform::createEvent()), writeEvent(platform::createEvent()) {}

ReadWritePipe::~ReadWritePipe() {
  const platform::Handle pipe = handle.load();
  const bool open = pipe != platform::invalidHandle();
  // Hand over what is still buffered before the peer sees the end.
  if (open) platform::flushFileBuffers(pipe);
  if (readEvent) platform::closeHandle(readEvent);
  if (writeEvent) platform::closeHandle(writeEvent);
  if (open) platform::closeHandle(pipe);
}

std::string ReadWritePipe::getName() const { return name; }

bool ReadWritePipe::isClosed() const { return handle.load() == platform::invalidHandle(); }

void ReadWritePipe::close() {
  // Invalid first, so that the operations this close ends are seen as ended by it.
  const platform::Handle pipe = handle.exchange(platform::invalidHandle());
  if (pipe == platform::invalidHandle()) return;
  // Some systems report success rather than kErrorNotFound when nothing was pending.
  if (!platform::cancelIoEx(pipe, nullptr) && platform::lastSystemError() != platform::kErrorNotFound)
    // The system's own text (tests match it): must not be corrected.
    logMessage(kCloseTag, LogLevel::Error, "Failed to cancel IO: %s", lastErrorText().c_str());
  if (!platform::closeHandle(pipe))
    // The system's own text (tests match it): must not be corrected.
    logMessage(kCloseTag, LogLevel::Error, "Failed to close pipe handle: %s", lastErrorText().c_str());
}

bool ReadWritePipe::write(const void* data, uint32_t& size, int64_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point start;
  if (timeoutMs != 0) start = Clock::now();
  lastError = 0;
  platform::PipeIo io(writeEvent);
  const platform::Handle pipe = handle.load();
  uint32_t transferred = 0;
  if (platform::writeFile(pipe, data, size, &transferred, &io)) {
    size = transferred;
    return true;
  }
  uint32_t error = platform::lastSystemError();
  if (error == platform::kErrorIoPending) {
    // Without a limit wait for the end; with one only look, and poll below.
    if (platform::getOverlappedResult(pipe, &io, &transferred, timeoutMs == 0)) {
      size = transferred;
      return true;
    }
    error = platform::lastSystemError();
  }
  if (timeoutMs != 0 && error == platform::kErrorIoIncomplete) {
    const int64_t limitNs = limitInNanoseconds(timeoutMs);
    do {
      const int64_t elapsedNs =
          std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
      if (elapsedNs >= limitNs) {
        // Only this write: a read may be waiting on the same pipe. The write must have ended
        // before `io` and `data` go out of scope.
        platform::cancelIoEx(pipe, &io);
        if (platform::getOverlappedResult(pipe, &io, &transferred, true)) {
          // It completed before the cancellation took hold: the bytes were written.
          size = transferred;
          return true;
        }
        lastError = platform::kErrorTimeout;
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      if (platform::getOverlappedResult(pipe, &io, &transferred, false)) {
        size = transferred;
        return true;
      }
      error = platform::lastSystemError();
    } while (error == platform::kErrorIoIncomplete);
  }
  return recordFailure(error);
}

bool ReadWritePipe::read(void* buffer, uint32_t& size) {
  lastError = 0;
  platform::PipeIo io(readEvent);
  const platform::Handle pipe = handle.load();
  uint32_t transferred = 0;
  if (platform::readFile(pipe, buffer, size, &transferred, &io)) {
    size = transferred;
    return true;
  }
  uint32_t error = platform::lastSystemError();
  if (error == platform::kErrorIoPending) {
    if (beforeReadWaits) beforeReadWaits();
    if (platform::getOverlappedResult(pipe, &io, &transferred, true)) {
      size = transferred;
      return true;
    }
    error = platform::lastSystemError();
  }
  return recordFailure(error);
}

bool ReadWritePipe::flush() {
  lastError = 0;
  if (platform::flushFileBuffers(handle.load())) return true;
  return recordFailure(platform::lastSystemError());
}

bool ReadWritePipe::hasError() const { return lastError.load() != 0; }

uint32_t ReadWritePipe::getErrorCode() const { return lastError.load(); }

std::string ReadWritePipe::getErrorMessage() const {
  const uint32_t error = lastError.load();
  return error != 0 ? windowsErrorText(error) : std::string();
}

// The end of the stream is not an error: the peer went away (109, 232), our own close
// cancelled the operation (995), or the operation came after that close (6).
bool ReadWritePipe::recordFailure(uint32_t error) {
  if (error == platform::kErrorNoData || error == platform::kErrorBrokenPipe ||
      error == platform::kErrorOperationAborted)
    return false;
  if (error == platform::kErrorInvalidHandle && isClosed()) return false;
  lastError = error;
  return false;
}

}  // namespace Zerin
