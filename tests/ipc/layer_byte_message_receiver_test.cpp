#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <random>
#include <system_error>

#include "ipc/layer_byte_message.h"
#include "log_lines.h"
#include "memory_stream.h"
#include "platform/thread_name.h"

namespace {

using Zerin::BinaryMessage;
using Zerin::LayerByteMessage;
using ZerinTest::logLines;
using ZerinTest::MemoryStream;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

const std::string kCorrupted = "WAR [Zerin::LayerByteMessageReceiver::run] Corrupted message";
const std::string kSignaturePrefix = "WAR [Zerin::LayerByteMessageReceiver::run] Invalid message signature: ";
constexpr auto kWait = std::chrono::seconds(10);

Bytes frameOf(const char* name, const Bytes& payload) {
  return LayerByteMessage(name, payload.data(), static_cast<uint32_t>(payload.size())).bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes littleEndian(uint32_t value) {
  return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 24)};
}

// Records what the reader thread hands over.
class RecordingReceiver : public Zerin::LayerByteMessageReceiver {
 public:
  explicit RecordingReceiver(MemoryStream& stream) : stream(stream) {}
  ~RecordingReceiver() override {
    stream.close();
    stop();
  }

  void begin() { start(&stream); }
  void beginOn(MemoryStream& other) { start(&other); }
  std::function<void(const BinaryMessage&)> whileHandling;

  void onMessage(const BinaryMessage& message) override {
    if (whileHandling) whileHandling(message);
    std::lock_guard<std::mutex> lock(mutex);
    received.push_back(message);
    bufferSizes.push_back(receiveBufferSize());
    threadNames.push_back(Zerin::platform::currentThreadDescription());
    changed.notify_all();
  }
  void onDisconnected() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++disconnects;
    changed.notify_all();
  }

  bool waitForDisconnects(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kWait, [&] { return disconnects >= count; });
  }

  std::mutex mutex;  // guards the records below
  std::condition_variable changed;
  std::vector<BinaryMessage> received;
  std::vector<size_t> bufferSizes;
  std::vector<std::wstring> threadNames;
  int disconnects = 0;

 private:
  MemoryStream& stream;
};

struct Outcome {
  std::vector<BinaryMessage> messages;
  std::vector<size_t> bufferSizes;
  Lines lines;
  int disconnects = 0;
};

// Feeds `bytes` to a receiver in reads of at most `chunk` bytes, then ends the input.
Outcome receive(const Bytes& bytes, uint32_t chunk = UINT32_MAX) {
  ZerinTest::clearCaptures();
  MemoryStream stream;
  stream.setReadChunk(chunk);
  stream.deliver(bytes);
  stream.endInput();
  Outcome outcome;
  {
    RecordingReceiver receiver(stream);
    receiver.begin();
    EXPECT_TRUE(receiver.waitForDisconnects(1));
    std::lock_guard<std::mutex> lock(receiver.mutex);
    outcome.messages = receiver.received;
    outcome.bufferSizes = receiver.bufferSizes;
    outcome.disconnects = receiver.disconnects;
  }
  outcome.lines = logLines();
  return outcome;
}

void expectMessage(const BinaryMessage& message, const std::string& name, const Bytes& payload) {
  EXPECT_EQ(message.name, name);
  EXPECT_EQ(message.payload, payload);
}

TEST(LayerByteMessageReceiver, DeliversFramesInOrderAndEndsQuietlyWhenThePeerCloses) {
  const auto outcome = receive(join({frameOf("Ping", Bytes(8, 1)), frameOf("ResponseHandshake", {7, 0, 0, 0, 0, 0, 0, 0}),
                                     frameOf("Empty", {})}));
  ASSERT_EQ(outcome.messages.size(), 3u);
  expectMessage(outcome.messages[0], "Ping", Bytes(8, 1));
  expectMessage(outcome.messages[1], "ResponseHandshake", {7, 0, 0, 0, 0, 0, 0, 0});
  expectMessage(outcome.messages[2], "Empty", {});
  EXPECT_EQ(outcome.disconnects, 1);
  EXPECT_TRUE(outcome.lines.empty());
}

TEST(LayerByteMessageReceiver, NamesItsThreadAfterTheStream) {
  MemoryStream stream("\\\\.\\pipe\\ZerinProgramManager");
  stream.deliver(frameOf("Ping", Bytes(8)));
  stream.endInput();
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  ASSERT_EQ(receiver.threadNames.size(), 1u);
  EXPECT_EQ(receiver.threadNames[0], L"LayerByteMessageReceiver (\\\\.\\pipe\\ZerinProgramManager)");
}

TEST(LayerByteMessageReceiver, ThreeGarbageBytesGiveOneSignatureLineThenTheFrame) {
  const auto outcome = receive(join({{0x01, 0x02, 0x03}, frameOf("Ping", Bytes(8, 5))}));
  ASSERT_EQ(outcome.messages.size(), 1u);
  expectMessage(outcome.messages[0], "Ping", Bytes(8, 5));
  // The first header read sees 00 00 00 7A where the signature belongs.
  EXPECT_EQ(outcome.lines, Lines{kSignaturePrefix + "2046820352 != 1852990842"});
}

// Random bytes in which the signature does not occur.
Bytes garbage(size_t length, std::mt19937& random) {
  static const std::string signature = "zern";
  std::uniform_int_distribution<int> byte(0, 255);
  for (;;) {
    Bytes bytes(length);
    for (auto& value : bytes) value = static_cast<uint8_t>(byte(random));
    if (std::search(bytes.begin(), bytes.end(), signature.begin(), signature.end()) == bytes.end()) return bytes;
  }
}

TEST(LayerByteMessageReceiver, GarbageOfAnyLengthBetweenFramesGivesExactlyOneLine) {
  std::mt19937 random(20240607);
  std::vector<size_t> lengths;
  for (size_t length = 1; length <= 40; ++length) lengths.push_back(length);
  for (size_t length : {100u, 2043u, 2044u, 2048u, 2052u, 5000u}) lengths.push_back(length);
  const Bytes first = frameOf("Ping", Bytes(8, 0x11));
  const Bytes second = frameOf("RequestHandshake", {3, 0, 0, 0, 'a', 'b', 'c'});
  for (uint32_t chunk : {UINT32_MAX, 1u, 3u, 7u}) {
    for (size_t length : lengths) {
      SCOPED_TRACE("garbage of " + std::to_string(length) + " bytes, reads of " + std::to_string(chunk));
      const auto outcome = receive(join({first, garbage(length, random), second}), chunk);
      ASSERT_EQ(outcome.messages.size(), 2u);
      expectMessage(outcome.messages[0], "Ping", Bytes(8, 0x11));
      expectMessage(outcome.messages[1], "RequestHandshake", {3, 0, 0, 0, 'a', 'b', 'c'});
      ASSERT_EQ(outcome.lines.size(), 1u);
      EXPECT_EQ(outcome.lines[0].rfind(kSignaturePrefix, 0), 0u) << outcome.lines[0];
      EXPECT_EQ(outcome.lines[0].substr(outcome.lines[0].size() - 14), " != 1852990842");
    }
  }
}

TEST(LayerByteMessageReceiver, PartialSignaturesInGarbageAreSkippedSilently) {
  const Bytes tricky = {'z', 'e', 'r', 1, 'z', 'e', 2, 'z', 3, 'z', 'e', 'r'};
  const auto outcome = receive(join({tricky, frameOf("Ping", Bytes(8, 2)), tricky, frameOf("Ping", Bytes(8, 3))}));
  ASSERT_EQ(outcome.messages.size(), 2u);
  expectMessage(outcome.messages[0], "Ping", Bytes(8, 2));
  expectMessage(outcome.messages[1], "Ping", Bytes(8, 3));
  // One line per stretch of garbage: a good frame ends the resynchronisation.
  ASSERT_EQ(outcome.lines.size(), 2u);
}

TEST(LayerByteMessageReceiver, PayloadLengthOneShortIsCorruptAndTheNextFrameArrives) {
  Bytes bad = frameOf("Ping", Bytes(8, 9));
  bad[16] = 7;  // the payload length, one less than the bytes that follow
  const auto outcome = receive(join({bad, frameOf("ResponseHandshake", Bytes(8, 4))}));
  ASSERT_EQ(outcome.messages.size(), 1u);
  expectMessage(outcome.messages[0], "ResponseHandshake", Bytes(8, 4));
  // No signature line follows: the rest of the bad frame is skipped while resynchronising.
  EXPECT_EQ(outcome.lines, Lines{kCorrupted});
}

TEST(LayerByteMessageReceiver, TooShortTotalLengthsAreCorrupt) {
  const Bytes good = frameOf("Ping", Bytes(8, 6));
  // Below 8: rejected from the header alone. 8 to 15: read whole, then rejected.
  for (uint32_t total : {0u, 5u, 8u, 12u, 15u}) {
    SCOPED_TRACE("total length " + std::to_string(total));
    Bytes bad = join({littleEndian(total), {'z', 'e', 'r', 'n'}});
    if (total > 8) bad.resize(total, 0x55);
    const auto outcome = receive(join({bad, good}));
    ASSERT_EQ(outcome.messages.size(), 1u);
    expectMessage(outcome.messages[0], "Ping", Bytes(8, 6));
    EXPECT_EQ(outcome.lines, Lines{kCorrupted});
  }
}

TEST(LayerByteMessageReceiver, FramesAnnouncingMoreThan64MiBAreCorruptAndNotAllocated) {
  const Bytes good = frameOf("Ping", Bytes(8, 6));
  for (uint32_t total : {Zerin::kMaximumFrameSize + 1, 0xFFFFFFFFu}) {
    SCOPED_TRACE("total length " + std::to_string(total));
    const auto outcome = receive(join({littleEndian(total), {'z', 'e', 'r', 'n'}, good}));
    ASSERT_EQ(outcome.messages.size(), 1u);
    expectMessage(outcome.messages[0], "Ping", Bytes(8, 6));
    EXPECT_EQ(outcome.bufferSizes, std::vector<size_t>{2048});
    EXPECT_EQ(outcome.lines, Lines{kCorrupted});
  }
}

TEST(LayerByteMessageReceiver, AFrameOfExactly64MiBIsStillAccepted) {
  MemoryStream stream;
  stream.deliver(join({littleEndian(Zerin::kMaximumFrameSize), {'z', 'e', 'r', 'n'}}));
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(stream.waitForBlockedRead());
  EXPECT_EQ(receiver.receiveBufferSize(), Zerin::kMaximumFrameSize);
  EXPECT_TRUE(logLines().empty());
}

TEST(LayerByteMessageReceiver, ALargeFrameGrowsTheBufferToExactlyItsLength) {
  const Bytes bigPayload(5000 - 16 - 4, 0x42);
  const Bytes big = frameOf("Ping", bigPayload);
  ASSERT_EQ(big.size(), 5000u);
  const auto outcome = receive(join({frameOf("Ping", Bytes(8)), big, frameOf("Ping", Bytes(8))}));
  ASSERT_EQ(outcome.messages.size(), 3u);
  expectMessage(outcome.messages[1], "Ping", bigPayload);
  EXPECT_EQ(outcome.bufferSizes, (std::vector<size_t>{2048, 5000, 5000}));
  EXPECT_TRUE(outcome.lines.empty());
}

TEST(LayerByteMessageReceiver, AFrameArrivingOneBytePerReadIsDeliveredOnce) {
  MemoryStream stream;
  stream.setReadChunk(1);
  stream.deliver(frameOf("Ping", {1, 2, 3, 4, 5, 6, 7, 8}));
  stream.endInput();
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  ASSERT_EQ(receiver.received.size(), 1u);
  expectMessage(receiver.received[0], "Ping", {1, 2, 3, 4, 5, 6, 7, 8});
  // 28 single-byte reads, then the one that finds the end of the stream.
  EXPECT_EQ(stream.readCalls(), 29u);
}

TEST(LayerByteMessageReceiver, ReadsNeverAskForBytesOfTheNextFrame) {
  // Whole frames in one delivery: each read asks for exactly the missing header or body.
  const auto outcome = receive(join({frameOf("A", Bytes(3, 1)), frameOf("B", Bytes(2100, 2)), frameOf("C", {})}));
  ASSERT_EQ(outcome.messages.size(), 3u);
  expectMessage(outcome.messages[0], "A", Bytes(3, 1));
  expectMessage(outcome.messages[1], "B", Bytes(2100, 2));
  expectMessage(outcome.messages[2], "C", {});
}

TEST(LayerByteMessageReceiver, ClosingTheStreamWhileWaitingEndsTheThreadQuietly) {
  ZerinTest::clearCaptures();
  MemoryStream stream;
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(stream.waitForBlockedRead());
  stream.close();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  EXPECT_EQ(receiver.disconnects, 1);
  EXPECT_TRUE(receiver.received.empty());
  EXPECT_TRUE(logLines().empty());
}

TEST(LayerByteMessageReceiver, AHeaderReadErrorIsLoggedAndEndsTheThread) {
  ZerinTest::clearCaptures();
  MemoryStream stream;
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(stream.waitForBlockedRead());
  stream.failNextRead(1460);
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  EXPECT_EQ(logLines(),
            Lines{"WAR [Zerin::LayerByteMessageReceiver::logError] Read error " + Zerin::windowsErrorText(1460)});
}

TEST(LayerByteMessageReceiver, ABodyReadErrorIsLoggedAndReadingGoesOn) {
  ZerinTest::clearCaptures();
  const Bytes cut = frameOf("Ping", Bytes(8, 1));
  MemoryStream stream;
  stream.deliver(Bytes(cut.begin(), cut.begin() + 12));
  RecordingReceiver receiver(stream);
  receiver.begin();
  ASSERT_TRUE(stream.waitForBlockedRead());
  stream.failNextRead(87);
  // The rest of the broken frame, then a good one.
  stream.deliver(join({Bytes(cut.begin() + 12, cut.end()), frameOf("Ping", Bytes(8, 2))}));
  stream.endInput();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  ASSERT_EQ(receiver.received.size(), 1u);
  expectMessage(receiver.received[0], "Ping", Bytes(8, 2));
  EXPECT_EQ(logLines(),
            Lines{"WAR [Zerin::LayerByteMessageReceiver::logError] Read error " + Zerin::windowsErrorText(87)});
}

TEST(LayerByteMessageReceiver, StartsAgainAfterTheReaderEnded) {
  MemoryStream first;
  first.deliver(frameOf("One", {}));
  first.endInput();
  MemoryStream second;
  second.deliver(frameOf("Two", {}));
  second.endInput();
  RecordingReceiver receiver(first);
  receiver.begin();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  receiver.beginOn(second);
  ASSERT_TRUE(receiver.waitForDisconnects(2));
  ASSERT_EQ(receiver.received.size(), 2u);
  EXPECT_EQ(receiver.received[0].name, "One");
  EXPECT_EQ(receiver.received[1].name, "Two");
}

TEST(LayerByteMessageReceiver, StartingFromTheReaderThreadItselfRaisesDeadlock) {
  MemoryStream stream;
  stream.deliver(frameOf("Ping", Bytes(8)));
  stream.endInput();
  RecordingReceiver receiver(stream);
  std::error_code raised;
  std::promise<void> started;  // the reader must not look at its thread before start() stored it
  std::shared_future<void> startReturned = started.get_future().share();
  receiver.whileHandling = [&](const BinaryMessage&) {
    startReturned.wait();
    try {
      receiver.begin();
    } catch (const std::system_error& error) {
      raised = error.code();
    }
  };
  receiver.begin();
  started.set_value();
  ASSERT_TRUE(receiver.waitForDisconnects(1));
  EXPECT_EQ(raised, std::errc::resource_deadlock_would_occur);
}

}  // namespace
