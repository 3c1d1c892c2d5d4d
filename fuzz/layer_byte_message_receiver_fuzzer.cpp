// The reader thread fed from an in-memory stream. Input: one byte choosing the largest read
// (0: no limit), then the bytes the peer sends. Every delivered frame must be a frame that
// really is in the input, in order and without overlap, the buffer must stay within the frame
// limit, and the reader must end once.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "memory_stream.h"
#include "recording_receiver.h"

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

  ZerinFuzz::RecordingReceiver receiver(stream);
  receiver.waitForEnd();
  receiver.checkDeliveredFrom(bytes);
  return 0;
}
