#include "ipc/layer_byte_message.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

#include "logging/logger.h"
#include "logging/utilities.h"
#include "platform/system_error.h"

namespace Zerin {

namespace {

// The system's own tags (tests match them), odd as some look: must not be corrected.
constexpr const char* kWriteTag = "Zerin::LayerByteMessage::writeToPipe";
constexpr const char* kRunTag = "Zerin::LayerByteMessageReceiver::run";
constexpr const char* kLogErrorTag = "Zerin::LayerByteMessageReceiver::logError";
constexpr size_t kInitialBufferSize = 2048;
constexpr char kSignatureText[4] = {'z', 'e', 'r', 'n'};

void appendUint32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t readUint32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void logSendFailure(const IBidirectionalByteStream& stream) {
  if (stream.hasError())
    // The system's own text (tests match it): must not be corrected.
    logMessage(kWriteTag, LogLevel::Warning, "Failed to send message: %s", stream.getErrorMessage().c_str());
}

// Offset of the first possible frame start after offset 0 in a buffer of `filled` (>= 8)
// bytes: a position whose signature bytes match "zern" as far as the buffer reaches, so a
// signature cut off at the end also counts. Without one, the last 4 bytes are kept: they may
// be the next frame's length.
uint32_t nextCandidate(const uint8_t* buffer, uint32_t filled) {
  for (uint32_t p = 1; p < filled - 4; ++p) {
    const uint32_t compared = std::min<uint32_t>(4, filled - 4 - p);
    if (std::memcmp(buffer + p + 4, kSignatureText, compared) == 0) return p;
  }
  return filled - 4;
}

}  // namespace

LayerByteMessage::LayerByteMessage(const char* name, const uint8_t* payload, uint32_t payloadLength) {
  const auto nameLength = static_cast<uint32_t>(std::strlen(name));
  bytes.reserve(size_t{kMinimumFrameSize} + nameLength + payloadLength);
  appendUint32(bytes, nameLength + kMinimumFrameSize + payloadLength);
  bytes.insert(bytes.end(), kSignatureText, kSignatureText + 4);
  appendUint32(bytes, nameLength);
  bytes.insert(bytes.end(), name, name + nameLength);
  appendUint32(bytes, payloadLength);
  if (payloadLength > 0) bytes.insert(bytes.end(), payload, payload + payloadLength);
}

bool LayerByteMessage::writeToPipe(const std::shared_ptr<IBidirectionalByteStream>& stream,
                                   const std::shared_ptr<LayerByteMessage>& message, int64_t timeoutMs) {
  if (!stream || !message) return false;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = timeoutMs > 0 ? Clock::now() : Clock::time_point();

  const uint8_t* bytes = message->bytes.data();
  const auto totalLength = static_cast<uint32_t>(message->bytes.size());
  // Once part of the frame may be out and the rest cannot follow, the connection is lost: the
  // peer would take the next frame's first bytes for the rest of this one. Closing the stream
  // makes it see the end of the stream instead.
  auto abandonFrame = [&stream]() {
    stream->close();
    return false;
  };
  uint32_t size = kFrameHeaderSize;
  if (!stream->write(bytes, size, timeoutMs)) {
    logSendFailure(*stream);
    // A reader may have taken part of a write that timed out, whatever count the cancelled
    // write reports (under Wine it reports none); a write that failed otherwise moved nothing
    // that matters: the stream has ended, or the write was refused whole.
    if (stream->getErrorCode() == platform::kErrorTimeout) return abandonFrame();
    return false;
  }
  // A short header write continues where it stopped instead of skipping the rest of it.
  uint32_t position = std::min(size, kFrameHeaderSize);
  uint32_t remaining = totalLength - position;
  bool result = true;
  while (remaining > 0) {
    int64_t limit = timeoutMs;
    if (timeoutMs > 0) {
      const auto elapsedMs =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      limit = timeoutMs - elapsedMs;
      if (limit < 1) return abandonFrame();
    }
    size = remaining;
    if (!stream->write(bytes + position, size, limit)) {
      logSendFailure(*stream);
      return abandonFrame();
    }
    // A write that reports success without progress would otherwise spin here for ever.
    if (size == 0) {
      result = abandonFrame();
      break;
    }
    size = std::min(size, remaining);
    remaining -= size;
    position += size;
  }
  if (timeoutMs <= 0) stream->flush();
  return result;
}

bool parseFrameBody(uint32_t bodyLength, const uint8_t* body, BinaryMessage& out) {
  const uint32_t nameLength = readUint32(body);
  // In 64 bits: a name length near 2^32 must not wrap around the check.
  if (uint64_t{nameLength} + 8 > bodyLength) return false;
  out.name.assign(reinterpret_cast<const char*>(body + 4), nameLength);
  const uint32_t payloadLength = readUint32(body + 4 + nameLength);
  if (bodyLength - (nameLength + 8) != payloadLength) return false;
  const uint8_t* payload = body + 8 + nameLength;
  out.payload.assign(payload, payload + payloadLength);
  return true;
}

LayerByteMessageReceiver::~LayerByteMessageReceiver() { stop(); }

void LayerByteMessageReceiver::start(IBidirectionalByteStream* newStream) {
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id())
      throw std::system_error(std::make_error_code(std::errc::resource_deadlock_would_occur));
    thread.join();
  }
  stream = newStream;
  running = true;
  thread = std::thread(&LayerByteMessageReceiver::run, this);
}

void LayerByteMessageReceiver::stop() {
  if (thread.joinable()) {
    running = false;
    thread.join();
  }
}

void LayerByteMessageReceiver::logError() {
  // Formatted with %s: "%hs" means a narrow string to one C library and a short to another.
  if (!stream->isClosed() && stream->hasError())
    // The system's own text (tests match it): must not be corrected.
    logMessage(kLogErrorTag, LogLevel::Warning, "Read error %s", stream->getErrorMessage().c_str());
}

void LayerByteMessageReceiver::run() {
  setThreadName(platform::currentThread(), "LayerByteMessageReceiver (" + stream->getName() + ")");

  std::vector<uint8_t> buffer(kInitialBufferSize);
  bufferSize = buffer.size();
  uint32_t filled = 0;
  uint32_t consume = 0;
  bool resyncing = false;  // after a bad frame: the signature line was already logged
  BinaryMessage message;

  // Reads exactly up to `target` bytes; false when the stream failed or ended first.
  auto readUpTo = [&](uint32_t target) {
    while (filled < target) {
      uint32_t size = target - filled;
      if (!stream->read(buffer.data() + filled, size)) return false;
      filled += std::min(size, target - filled);
    }
    return true;
  };

  while (running) {
    if (consume > 0) {
      std::memmove(buffer.data(), buffer.data() + consume, filled - consume);
      filled -= consume;
      consume = 0;
    }
    if (filled < kFrameHeaderSize) {
      uint32_t size = kFrameHeaderSize - filled;
      if (!stream->read(buffer.data() + filled, size)) {
        logError();
        break;
      }
      filled += std::min(size, kFrameHeaderSize - filled);
      continue;
    }

    const uint32_t totalLength = readUint32(buffer.data());
    const uint32_t signature = readUint32(buffer.data() + 4);
    if (signature != kFrameSignature) {
      if (!resyncing)
        // The system's own text (tests match it): must not be corrected.
        logMessage(kRunTag, LogLevel::Warning, "Invalid message signature: %d != %d",
                   static_cast<int32_t>(signature), static_cast<int32_t>(kFrameSignature));
      consume = nextCandidate(buffer.data(), filled);
      resyncing = true;
      continue;
    }
    resyncing = false;

    bool corrupt = totalLength > maximumFrameSize;
    if (!corrupt && filled < totalLength) {
      if (buffer.size() < totalLength) {
        buffer.resize(totalLength);
        bufferSize = buffer.size();
      }
      if (!readUpTo(totalLength)) {
        logError();
        consume = 4;
        resyncing = true;
        continue;
      }
    }
    corrupt = corrupt || totalLength < kMinimumFrameSize ||
              !parseFrameBody(totalLength - kFrameHeaderSize, buffer.data() + kFrameHeaderSize, message);
    if (corrupt) {
      // The system's own text (tests match it): must not be corrected.
      logMessage(kRunTag, LogLevel::Warning, "Corrupted message");
      // Only the length field is skipped: the search runs over the rest of the bad frame.
      consume = 4;
      resyncing = true;
      continue;
    }
    onMessage(message);
    consume = totalLength;
  }

  onDisconnected();
  buffer = std::vector<uint8_t>();
}

}  // namespace Zerin
