#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ipc/bidirectional_byte_stream.h"

namespace Zerin {

// One frame, all integers unsigned 32-bit little-endian:
//   totalLength (whole frame, these 4 bytes included), "zern", nameLength, name,
//   payloadLength, payload.
constexpr uint32_t kFrameSignature = 0x6E72657Au;  // "zern" read as a little-endian integer
constexpr uint32_t kFrameHeaderSize = 8;           // totalLength and the signature
constexpr uint32_t kMinimumFrameSize = 16;         // header plus the two length fields
// A peer must not be able to make the reader allocate without bound with one length field:
// larger announcements are handled as corrupt frames.
constexpr uint32_t kMaximumFrameSize = 64u * 1024u * 1024u;

// One encoded outgoing frame; built once, then only read, so it may be sent many times.
class LayerByteMessage {
 public:
  LayerByteMessage(const char* name, const uint8_t* payload, uint32_t payloadLength);

  // Writes the whole frame. `timeoutMs` > 0 limits the whole frame; 0 means no limit and
  // waits for the peer to read the frame (flush); a negative limit is handed to every write
  // as an expired one. Callers serialise senders on one stream.
  static bool writeToPipe(const std::shared_ptr<IBidirectionalByteStream>& stream,
                          const std::shared_ptr<LayerByteMessage>& message, int64_t timeoutMs);

  std::vector<uint8_t> bytes;
};

// One received frame.
struct BinaryMessage {
  std::string name;
  std::vector<uint8_t> payload;
};

// Splits a frame body (the frame without its 8 header bytes, `bodyLength` >= 8) into name and
// payload. The lengths must add up exactly.
bool parseFrameBody(uint32_t bodyLength, const uint8_t* body, BinaryMessage& out);

// Runs one reader thread over a stream, cuts it into frames, skips garbage up to the next
// signature, and hands every good frame to the subclass.
class LayerByteMessageReceiver {
 public:
  LayerByteMessageReceiver() = default;
  LayerByteMessageReceiver(const LayerByteMessageReceiver&) = delete;
  LayerByteMessageReceiver& operator=(const LayerByteMessageReceiver&) = delete;

  // Joins a running reader. A subclass must stop the reader in its own destructor (close the
  // stream, then stop()): once the subclass part is gone the reader could not call it.
  virtual ~LayerByteMessageReceiver();
  // On the reader thread; `message` lives only for the call.
  virtual void onMessage(const BinaryMessage& message) = 0;
  // On the reader thread, once, after its last onMessage.
  virtual void onDisconnected() = 0;

  // Joins the previous reader (std::system_error with resource_deadlock_would_occur when
  // called from that reader itself), then reads `stream` on a new thread. The stream must
  // outlive the thread.
  void start(IBidirectionalByteStream* stream);

  // Size of the receive buffer of the current (or last) reader run.
  size_t receiveBufferSize() const { return bufferSize.load(); }

 protected:
  // Clears `running` and joins the reader; the stream must have been closed before, or the
  // join waits for a read that never ends.
  void stop();
  void run();
  void logError();

  IBidirectionalByteStream* stream = nullptr;  // not owned; the subclass keeps its owner
  std::thread thread;
  std::atomic<bool> running{false};
  // Larger frames count as corrupt. Only a harness lowers it (before start), so that fuzzing
  // reaches the same paths without allocating 64 MiB per input.
  uint32_t maximumFrameSize = kMaximumFrameSize;

 private:
  std::atomic<size_t> bufferSize{0};
};

}  // namespace Zerin
