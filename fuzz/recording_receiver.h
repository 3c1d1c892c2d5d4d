// The reader thread under fuzzing, recording what it delivers, and the check both receiver
// fuzzers make of it: every delivered frame is a frame that really is in the input, in order and
// without overlap, the buffer stayed within the frame limit, and the reader ended once.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "ipc/layer_byte_message.h"

namespace ZerinFuzz {

// Inputs are at most a few KiB; a lower limit keeps both sides of it cheap to reach.
constexpr uint32_t kFrameLimit = 64 * 1024;

class RecordingReceiver : public Zerin::LayerByteMessageReceiver {
 public:
  explicit RecordingReceiver(Zerin::IBidirectionalByteStream& stream) : stream(stream) {
    maximumFrameSize = kFrameLimit;
    start(&stream);
  }
  ~RecordingReceiver() override {
    stream.close();
    stop();
  }
  void onMessage(const Zerin::BinaryMessage& message) override {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back(message);
  }
  void onDisconnected() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++disconnects;
    ended.notify_all();
  }
  void waitForEnd() {
    std::unique_lock<std::mutex> lock(mutex);
    ended.wait(lock, [&] { return disconnects > 0; });
  }

  // Aborts unless what was delivered from `bytes` passes the check above.
  void checkDeliveredFrom(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    if (disconnects != 1) std::abort();
    auto from = bytes.begin();
    for (const Zerin::BinaryMessage& message : messages) {
      const std::vector<uint8_t> frame = frameOf(message);
      const auto found = std::search(from, bytes.end(), frame.begin(), frame.end());
      if (found == bytes.end()) std::abort();
      from = found + static_cast<std::ptrdiff_t>(frame.size());
    }
    if (receiveBufferSize() > kFrameLimit) std::abort();
  }

 private:
  static void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
  }
  // Encoded by hand: names may hold any byte, a zero included.
  static std::vector<uint8_t> frameOf(const Zerin::BinaryMessage& message) {
    std::vector<uint8_t> frame;
    const auto nameLength = static_cast<uint32_t>(message.name.size());
    const auto payloadLength = static_cast<uint32_t>(message.payload.size());
    appendUint32(frame, 16 + nameLength + payloadLength);
    appendUint32(frame, Zerin::kFrameSignature);
    appendUint32(frame, nameLength);
    frame.insert(frame.end(), message.name.begin(), message.name.end());
    appendUint32(frame, payloadLength);
    frame.insert(frame.end(), message.payload.begin(), message.payload.end());
    return frame;
  }

  std::mutex mutex;  // guards messages and disconnects
  std::condition_variable ended;
  std::vector<Zerin::BinaryMessage> messages;
  int disconnects = 0;
  Zerin::IBidirectionalByteStream& stream;
};

}  // namespace ZerinFuzz
