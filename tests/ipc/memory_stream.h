#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ipc/bidirectional_byte_stream.h"
#include "logging/utilities.h"

namespace ZerinTest {

// An in-memory stream with a scripted peer. Reads block until bytes arrive and hand out at
// most `readChunk` bytes each; the peer can end its output (reads then return false with no
// error), make the next read fail with a recorded error, or the stream can be closed, which
// ends a blocked read with no error, as a pipe does. Writes land in `written()`.
class MemoryStream : public Zerin::IBidirectionalByteStream {
 public:
  explicit MemoryStream(std::string name = "memory") : name(std::move(name)) {}

  // --- the peer
  void deliver(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    incoming.insert(incoming.end(), bytes.begin(), bytes.end());
    changed.notify_all();
  }
  void endInput() {
    std::lock_guard<std::mutex> lock(mutex);
    inputEnded = true;
    changed.notify_all();
  }
  // The next read (or the one blocked now) fails and records `code`.
  void failNextRead(uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex);
    readFailure = code;
    changed.notify_all();
  }
  void setReadChunk(uint32_t bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    readChunk = bytes;
  }
  // True once a read waits with nothing left to hand out.
  bool waitForBlockedRead(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, limit, [&] { return blockedReads > 0 && available() == 0; });
  }
  size_t readCalls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return reads;
  }

  // --- the writing side
  void setWriteChunk(uint32_t bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    writeChunk = bytes;
  }
  // Write number `index` (from 0) fails, recording `code` (0 records nothing), after its
  // first `bytesFirst` bytes went out, as a timed write does that the peer read part of.
  void failWrite(size_t index, uint32_t code, uint32_t bytesFirst = 0) {
    std::lock_guard<std::mutex> lock(mutex);
    failingWrite = index;
    writeFailure = code;
    failingWriteBytes = bytesFirst;
  }
  // Runs before each write with its index, outside the stream's lock.
  void onWrite(std::function<void(size_t)> hook) { beforeWrite = std::move(hook); }
  std::vector<uint8_t> written() const {
    std::lock_guard<std::mutex> lock(mutex);
    return output;
  }
  std::vector<int64_t> writeLimits() const {
    std::lock_guard<std::mutex> lock(mutex);
    return limits;
  }
  int flushes() const {
    std::lock_guard<std::mutex> lock(mutex);
    return flushCount;
  }

  // --- IBidirectionalByteStream
  std::string getName() const override { return name; }
  bool isClosed() const override {
    std::lock_guard<std::mutex> lock(mutex);
    return closed;
  }
  void close() override {
    std::lock_guard<std::mutex> lock(mutex);
    closed = true;
    changed.notify_all();
  }
  bool write(const void* data, uint32_t& size, int64_t timeoutMs) override {
    size_t index;
    {
      std::lock_guard<std::mutex> lock(mutex);
      index = writes++;
    }
    if (beforeWrite) beforeWrite(index);
    std::lock_guard<std::mutex> lock(mutex);
    lastError = 0;
    limits.push_back(timeoutMs);
    if (closed) return false;
    const bool fails = index == failingWrite;
    const uint32_t count = std::min({size, writeChunk, fails ? failingWriteBytes : UINT32_MAX});
    const auto* bytes = static_cast<const uint8_t*>(data);
    output.insert(output.end(), bytes, bytes + count);
    // A failed write leaves `size` alone, whatever went out before it failed.
    if (fails) {
      lastError = writeFailure;
      return false;
    }
    size = count;
    return true;
  }
  bool read(void* buffer, uint32_t& size) override {
    std::unique_lock<std::mutex> lock(mutex);
    ++reads;
    lastError = 0;
    ++blockedReads;
    changed.notify_all();
    changed.wait(lock, [&] { return closed || readFailure != 0 || available() > 0 || inputEnded; });
    --blockedReads;
    if (closed) return false;
    if (readFailure != 0) {
      lastError = readFailure;
      readFailure = 0;
      return false;
    }
    if (available() == 0) return false;  // the peer ended its output
    const uint32_t count = static_cast<uint32_t>(std::min<size_t>({size, readChunk, available()}));
    std::memcpy(buffer, incoming.data() + readPosition, count);
    readPosition += count;
    size = count;
    changed.notify_all();
    return true;
  }
  bool flush() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++flushCount;
    return !closed;
  }
  bool hasError() const override {
    std::lock_guard<std::mutex> lock(mutex);
    return lastError != 0;
  }
  uint32_t getErrorCode() const override {
    std::lock_guard<std::mutex> lock(mutex);
    return lastError;
  }
  std::string getErrorMessage() const override {
    const uint32_t code = getErrorCode();
    return code == 0 ? std::string() : Zerin::windowsErrorText(code);
  }

 private:
  const std::string name;
  std::function<void(size_t)> beforeWrite;

  mutable std::mutex mutex;  // guards every field below
  std::condition_variable changed;
  size_t available() const { return incoming.size() - readPosition; }

  std::vector<uint8_t> incoming;  // everything the peer sent; reads advance readPosition
  size_t readPosition = 0;
  bool inputEnded = false;
  bool closed = false;
  uint32_t readFailure = 0;
  uint32_t readChunk = UINT32_MAX;
  int blockedReads = 0;
  size_t reads = 0;
  uint32_t lastError = 0;
  std::vector<uint8_t> output;
  std::vector<int64_t> limits;
  uint32_t writeChunk = UINT32_MAX;
  size_t writes = 0;
  size_t failingWrite = SIZE_MAX;
  uint32_t writeFailure = 0;
  uint32_t failingWriteBytes = 0;
  int flushCount = 0;
};

}  // namespace ZerinTest
