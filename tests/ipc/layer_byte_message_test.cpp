#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ipc/layer_byte_message.h"
#include "log_lines.h"
#include "memory_stream.h"

namespace {

using Zerin::BinaryMessage;
using Zerin::LayerByteMessage;
using ZerinTest::logLines;
using ZerinTest::MemoryStream;
using Bytes = std::vector<uint8_t>;

const std::string kSendFailedPrefix = "WAR [Zerin::LayerByteMessage::writeToPipe] Failed to send message: ";

Bytes frameOf(const char* name, const Bytes& payload) {
  return LayerByteMessage(name, payload.data(), static_cast<uint32_t>(payload.size())).bytes;
}

std::shared_ptr<LayerByteMessage> messageOf(const char* name, const Bytes& payload) {
  return std::make_shared<LayerByteMessage>(name, payload.data(), static_cast<uint32_t>(payload.size()));
}

TEST(LayerByteMessageFrame, PingWithEightPayloadBytesIsTwentyEightBytes) {
  const Bytes payload = {1, 2, 3, 4, 5, 6, 7, 8};
  const Bytes expected = {0x1C, 0x00, 0x00, 0x00, 0x7A, 0x65, 0x72, 0x6E, 0x04, 0x00, 0x00, 0x00, 0x50, 0x69,
                          0x6E, 0x67, 0x08, 0x00, 0x00, 0x00, 1,    2,    3,    4,    5,    6,    7,    8};
  EXPECT_EQ(frameOf("Ping", payload), expected);
}

TEST(LayerByteMessageFrame, EmptyPayloadStillCarriesItsLength) {
  const Bytes expected = {0x13, 0, 0, 0, 'z', 'e', 'r', 'n', 3, 0, 0, 0, 'a', 'b', 'c', 0, 0, 0, 0};
  EXPECT_EQ(frameOf("abc", {}), expected);
  EXPECT_EQ(LayerByteMessage("abc", nullptr, 0).bytes, expected);
  EXPECT_EQ(frameOf("", {}), (Bytes{16, 0, 0, 0, 'z', 'e', 'r', 'n', 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(LayerByteMessageFrame, LengthsAreLittleEndian) {
  const Bytes payload(0x0102, 0xAB);
  const Bytes frame = frameOf("RestartActiveClient", payload);
  ASSERT_EQ(frame.size(), 16u + 19u + 0x0102u);
  EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 4), (Bytes{0x25, 0x01, 0x00, 0x00}));
  EXPECT_EQ(Bytes(frame.begin() + 31, frame.begin() + 35), (Bytes{0x02, 0x01, 0x00, 0x00}));
}

TEST(ParseFrameBody, SplitsNameAndPayload) {
  const Bytes frame = frameOf("Ping", {9, 8, 7});
  BinaryMessage message;
  ASSERT_TRUE(Zerin::parseFrameBody(static_cast<uint32_t>(frame.size() - 8), frame.data() + 8, message));
  EXPECT_EQ(message.name, "Ping");
  EXPECT_EQ(message.payload, (Bytes{9, 8, 7}));
}

TEST(ParseFrameBody, RejectsLengthsThatDoNotAddUpExactly) {
  BinaryMessage message;
  // Payload length one short of the bytes that follow: trailing bytes are not allowed.
  const Bytes shortPayload = {4, 0, 0, 0, 'P', 'i', 'n', 'g', 2, 0, 0, 0, 1, 2, 3};
  EXPECT_FALSE(Zerin::parseFrameBody(static_cast<uint32_t>(shortPayload.size()), shortPayload.data(), message));
  // Payload length one too many.
  const Bytes longPayload = {4, 0, 0, 0, 'P', 'i', 'n', 'g', 4, 0, 0, 0, 1, 2, 3};
  EXPECT_FALSE(Zerin::parseFrameBody(static_cast<uint32_t>(longPayload.size()), longPayload.data(), message));
  // Name longer than the body.
  const Bytes longName = {9, 0, 0, 0, 'P', 'i', 'n', 'g', 0, 0, 0, 0};
  EXPECT_FALSE(Zerin::parseFrameBody(static_cast<uint32_t>(longName.size()), longName.data(), message));
  // A name length near 2^32 must not wrap around the check.
  const Bytes hugeName = {0xFC, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(Zerin::parseFrameBody(static_cast<uint32_t>(hugeName.size()), hugeName.data(), message));
}

TEST(WriteToPipe, WithoutLimitWritesTheFrameThenWaitsForThePeerToReadIt) {
  auto stream = std::make_shared<MemoryStream>();
  const Bytes payload = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_TRUE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", payload), 0));
  EXPECT_EQ(stream->written(), frameOf("Ping", payload));
  // One header write, one body write, both without a limit.
  EXPECT_EQ(stream->writeLimits(), (std::vector<int64_t>{0, 0}));
  EXPECT_EQ(stream->flushes(), 1);
  EXPECT_TRUE(logLines().empty());
}

TEST(WriteToPipe, WithALimitDoesNotFlush) {
  auto stream = std::make_shared<MemoryStream>();
  ASSERT_TRUE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), 100));
  EXPECT_EQ(stream->written(), frameOf("Ping", Bytes(8)));
  EXPECT_EQ(stream->flushes(), 0);
  const auto limits = stream->writeLimits();
  ASSERT_EQ(limits.size(), 2u);
  EXPECT_EQ(limits[0], 100);
  EXPECT_GE(limits[1], 1);
  EXPECT_LE(limits[1], 100);
}

TEST(WriteToPipe, HandsANegativeLimitUnchangedToEveryWrite) {
  auto stream = std::make_shared<MemoryStream>();
  stream->setWriteChunk(5);
  ASSERT_TRUE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), -7));
  EXPECT_EQ(stream->written(), frameOf("Ping", Bytes(8)));
  for (int64_t limit : stream->writeLimits()) EXPECT_EQ(limit, -7);
  EXPECT_EQ(stream->flushes(), 1);
}

TEST(WriteToPipe, ContinuesAfterShortWritesUntilEveryByteIsOut) {
  auto stream = std::make_shared<MemoryStream>();
  stream->setWriteChunk(3);
  Bytes payload(50);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  ASSERT_TRUE(LayerByteMessage::writeToPipe(stream, messageOf("RequestHandshake", payload), 0));
  EXPECT_EQ(stream->written(), frameOf("RequestHandshake", payload));
  // 82 bytes in writes of at most 3, the short header write included.
  EXPECT_EQ(stream->writeLimits().size(), 28u);
}

TEST(WriteToPipe, HeaderFailureWithARecordedErrorIsLoggedAndSendsNothingMore) {
  auto stream = std::make_shared<MemoryStream>();
  stream->failWrite(0, 1460);
  EXPECT_FALSE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), 0));
  EXPECT_TRUE(stream->written().empty());
  EXPECT_EQ(stream->writeLimits().size(), 1u);
  EXPECT_EQ(stream->flushes(), 0);
  EXPECT_EQ(logLines(), std::vector<std::string>{kSendFailedPrefix + Zerin::windowsErrorText(1460)});
}

TEST(WriteToPipe, BodyFailureWithARecordedErrorIsLogged) {
  auto stream = std::make_shared<MemoryStream>();
  stream->failWrite(1, 87);
  EXPECT_FALSE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), 0));
  EXPECT_EQ(stream->written().size(), 8u);
  EXPECT_EQ(logLines(), std::vector<std::string>{kSendFailedPrefix + Zerin::windowsErrorText(87)});
}

TEST(WriteToPipe, FailureWithoutARecordedErrorLogsNothing) {
  auto bodyFails = std::make_shared<MemoryStream>();
  bodyFails->failWrite(1, 0);
  EXPECT_FALSE(LayerByteMessage::writeToPipe(bodyFails, messageOf("Ping", Bytes(8)), 100));
  auto headerFails = std::make_shared<MemoryStream>();
  headerFails->failWrite(0, 0);
  EXPECT_FALSE(LayerByteMessage::writeToPipe(headerFails, messageOf("Ping", Bytes(8)), 100));
  EXPECT_TRUE(logLines().empty());
}

TEST(WriteToPipe, TheBodyGetsWhatIsLeftOfTheLimit) {
  auto stream = std::make_shared<MemoryStream>();
  // The header write takes real time, so the body's limit must shrink by at least that.
  stream->onWrite([](size_t index) {
    if (index == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
  });
  ASSERT_TRUE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), 5000));
  const auto limits = stream->writeLimits();
  ASSERT_EQ(limits.size(), 2u);
  EXPECT_EQ(limits[0], 5000);
  EXPECT_LE(limits[1], 5000 - 30);
  EXPECT_GE(limits[1], 1);
}

TEST(WriteToPipe, RunningOutOfTimeBetweenWritesFailsQuietly) {
  auto stream = std::make_shared<MemoryStream>();
  stream->onWrite([](size_t index) {
    if (index == 0) std::this_thread::sleep_for(std::chrono::milliseconds(40));
  });
  EXPECT_FALSE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), 20));
  EXPECT_EQ(stream->written().size(), 8u);
  EXPECT_EQ(stream->writeLimits().size(), 1u);
  EXPECT_EQ(stream->flushes(), 0);
  EXPECT_TRUE(logLines().empty());
}

// A frame cut short would make the peer take the next frame's first bytes for the rest of it:
// once part of a frame may be out and the rest cannot follow, the stream is closed, so that the
// peer sees the end of the stream instead. A write that timed out may have been partly taken
// whatever it reports; one that failed otherwise before any byte went leaves the stream open.
TEST(WriteToPipe, AFrameCutShortClosesTheStreamAndOneNotStartedDoesNot) {
  struct Case {
    const char* what;
    size_t failingWrite;
    uint32_t error;
    uint32_t bytesBeforeFailure;
    int64_t limitMs;
    size_t written;
    bool closed;
  };
  constexpr size_t kNone = SIZE_MAX;
  const Case cases[] = {
      {"header refused, the peer gone", 0, 0, 0, 100, 0, false},
      {"header refused with an error", 0, 87, 0, 100, 0, false},
      {"header timed out", 0, 1460, 0, 100, 0, true},
      {"header partly out, then timed out", 0, 1460, 5, 100, 5, true},
      {"body refused after the header", 1, 87, 0, 100, 8, true},
      {"body partly out, then timed out", 1, 1460, 7, 100, 15, true},
      {"no time left for the body", kNone, 0, 0, 20, 8, true},
      {"peer gone after the header, no limit", 1, 0, 0, 0, 8, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto stream = std::make_shared<MemoryStream>();
    stream->failWrite(c.failingWrite, c.error, c.bytesBeforeFailure);
    if (c.failingWrite == kNone)
      stream->onWrite([](size_t index) {
        if (index == 0) std::this_thread::sleep_for(std::chrono::milliseconds(40));
      });
    EXPECT_FALSE(LayerByteMessage::writeToPipe(stream, messageOf("Ping", Bytes(8)), c.limitMs));
    EXPECT_EQ(stream->written().size(), c.written);
    EXPECT_EQ(stream->isClosed(), c.closed);
  }
}

TEST(WriteToPipe, WithoutAStreamFails) {
  EXPECT_FALSE(LayerByteMessage::writeToPipe(nullptr, messageOf("Ping", Bytes(8)), 0));
}

}  // namespace
