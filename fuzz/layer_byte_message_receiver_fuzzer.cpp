// The reader thread fed from an in-memory stream. Input: one byte choosing the largest read
// (0: no limit), then the bytes the peer sends. Every delivered frame must be a frame that
// really is in the input, in order and without overlap, the buffer must stay within the frame
// limit, and the reader must end once.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "ipc/layer_byte_message.h"
#include "memory_stream.h"

namespace {

// Inputs are at most a few KiB; a lower limit keeps both sides of it cheap to reach.
constexpr uint32_t kFrameLimit = 64 * 1024;

class Receiver : public Zerin::LayerByteMessageReceiver {
 public:
  explicit Receiver(ZerinTest::MemoryStream& stream) : stream(stream) {
    maximumFrameSize = kFrameLimit;
    start(&stream);
  }
  ~Receiver() override {
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

  std::mutex mutex;  // guards messages and disconnects
  std::condition_variable ended;
  std::vector<Zerin::BinaryMessage> messages;
  int disconnects = 0;

 private:
  ZerinTest::MemoryStream& stream;
};

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Encoded by hand: names may hold any byte, a zero included.
std::vector<uint8_t> frameOf(const Zerin::BinaryMessage& message) {
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("ZERIN_LOGGER_STDOUT_DISABLED", "1", 0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::vector<uint8_t> bytes(data + 1, data + size);
  ZerinTest::MemoryStream stream("fuzz");
  stream.setReadChunk(data[0] == 0 ? UINT32_MAX : data[0]);
  stream.deliver(bytes);
  stream.endInput();

  Receiver receiver(stream);
  receiver.waitForEnd();
  std::lock_guard<std::mutex> lock(receiver.mutex);
  if (receiver.disconnects != 1) std::abort();
  auto from = bytes.begin();
  for (const Zerin::BinaryMessage& message : receiver.messages) {
    const std::vector<uint8_t> frame = frameOf(message);
    const auto found = std::search(from, bytes.end(), frame.begin(), frame.end());
    if (found == bytes.end()) std::abort();
    from = found + static_cast<std::ptrdiff_t>(frame.size());
  }
  if (receiver.receiveBufferSize() > kFrameLimit) std::abort();
  return 0;
}
