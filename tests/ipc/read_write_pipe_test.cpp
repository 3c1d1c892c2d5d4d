#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "capture.h"
#include "logging/utilities.h"
#include "pipe_test_support.h"
#include "platform/system_error.h"

namespace {

using namespace std::chrono_literals;
using Zerin::ReadWritePipe;
using ZerinTest::ConnectedPipe;
using ZerinTest::patternBytes;
using ZerinTest::readBytes;
namespace platform = Zerin::platform;

// More than any pipe or socket buffer holds, so that a writer waits for its reader.
constexpr uint32_t kLarge = 1 << 20;

void expectNoError(const ReadWritePipe& pipe) {
  EXPECT_FALSE(pipe.hasError());
  EXPECT_EQ(pipe.getErrorCode(), 0u);
  EXPECT_EQ(pipe.getErrorMessage(), "");
}

bool writeText(ReadWritePipe& pipe, const std::string& text) {
  uint32_t size = static_cast<uint32_t>(text.size());
  return pipe.write(text.data(), size, 0) && size == text.size();
}

std::string readText(ReadWritePipe& pipe, uint32_t capacity) {
  std::string text(capacity, '\0');
  uint32_t size = capacity;
  if (!pipe.read(&text[0], size)) return "(failed)";
  text.resize(size);
  return text;
}

TEST(ReadWritePipe, CarriesBytesBothWaysAndShortReadsReportTheirSize) {
  ConnectedPipe pipes("bytes");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  EXPECT_EQ(pipes.client->getName(), pipes.server.getName());
  EXPECT_FALSE(pipes.client->isClosed());

  uint32_t size = 5;
  ASSERT_TRUE(pipes.client->write("hello", size, 0));
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(readText(*pipes.serverEnd, 64), "hello");

  ASSERT_TRUE(writeText(*pipes.serverEnd, "0123456789"));
  EXPECT_EQ(readText(*pipes.client, 4), "0123");
  EXPECT_EQ(readText(*pipes.client, 100), "456789");

  expectNoError(*pipes.client);
  expectNoError(*pipes.serverEnd);
}

TEST(ReadWritePipe, AReadAfterThePeerClosedEndsWithoutAnError) {
  ConnectedPipe pipes("peer-closed");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  ASSERT_TRUE(writeText(*pipes.serverEnd, "bye"));
  pipes.serverEnd->close();

  // What was written before the close still arrives, then the stream ends.
  EXPECT_EQ(readText(*pipes.client, 16), "bye");
  char buffer[16];
  uint32_t size = sizeof buffer;
  EXPECT_FALSE(pipes.client->read(buffer, size));
  expectNoError(*pipes.client);
  size = 3;
  EXPECT_FALSE(pipes.client->write("abc", size, 0));
  expectNoError(*pipes.client);
  pipes.client->flush();  // nothing left to wait for: true or false, but no error
  expectNoError(*pipes.client);
}

TEST(ReadWritePipe, TheServerEndSeesTheClientLeaveTheSameWay) {
  ConnectedPipe pipes("client-closed");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  pipes.client->close();
  char buffer[16];
  uint32_t size = sizeof buffer;
  EXPECT_FALSE(pipes.serverEnd->read(buffer, size));
  expectNoError(*pipes.serverEnd);
  size = 3;
  EXPECT_FALSE(pipes.serverEnd->write("abc", size, 0));
  expectNoError(*pipes.serverEnd);
}

TEST(ReadWritePipe, CloseEndsABlockedReadAndLogsNothing) {
  ConnectedPipe pipes("close-read");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  ZerinTest::clearCaptures();
  auto reading = std::async(std::launch::async, [&] {
    char buffer[8];
    uint32_t size = sizeof buffer;
    return pipes.client->read(buffer, size);
  });
  ASSERT_EQ(reading.wait_for(100ms), std::future_status::timeout) << "the read did not wait";
  pipes.client->close();
  ASSERT_EQ(reading.wait_for(10s), std::future_status::ready);
  EXPECT_FALSE(reading.get());
  EXPECT_TRUE(pipes.client->isClosed());
  expectNoError(*pipes.client);
  EXPECT_EQ(ZerinTest::debugOutput(), std::vector<std::string>());

  // The peer sees the end of the stream.
  char buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_FALSE(pipes.serverEnd->read(buffer, size));
  expectNoError(*pipes.serverEnd);
}

// The reader's hook runs when a read has to wait, before it waits, on the reading thread; a
// read that finds data at once does not run it.
TEST(ReadWritePipe, AReadThatMustWaitRunsItsHookFirst) {
  ConnectedPipe pipes("wait-hook");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  std::thread::id hookThread;
  int hookCalls = 0;
  pipes.client->setBeforeReadWaits([&] {
    hookThread = std::this_thread::get_id();
    // The data the read waits for comes only from here.
    if (++hookCalls == 1) writeText(*pipes.serverEnd, "late");
  });
  ASSERT_TRUE(writeText(*pipes.serverEnd, "now"));
  EXPECT_EQ(readText(*pipes.client, 3), "now");
  EXPECT_EQ(hookCalls, 0);

  auto reading = std::async(std::launch::async, [&] { return std::make_pair(readText(*pipes.client, 4), std::this_thread::get_id()); });
  const bool ended = reading.wait_for(5s) == std::future_status::ready;
  if (!ended) writeText(*pipes.serverEnd, "none");  // lets the read end, so the test can
  ASSERT_TRUE(ended) << "the read waited without running its hook";
  const auto result = reading.get();
  EXPECT_EQ(result.first, "late");
  EXPECT_EQ(hookCalls, 1);
  EXPECT_EQ(hookThread, result.second);
}

TEST(ReadWritePipe, CloseTwiceOrWithNothingPendingLogsNothingAndLaterUseFailsQuietly) {
  ConnectedPipe pipes("close-twice");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  ZerinTest::clearCaptures();
  pipes.client->close();
  EXPECT_TRUE(pipes.client->isClosed());
  pipes.client->close();
  EXPECT_TRUE(pipes.client->isClosed());
  EXPECT_EQ(ZerinTest::debugOutput(), std::vector<std::string>());

  char buffer[8];
  uint32_t size = sizeof buffer;
  EXPECT_FALSE(pipes.client->read(buffer, size));
  expectNoError(*pipes.client);
  size = 3;
  EXPECT_FALSE(pipes.client->write("abc", size, 0));
  EXPECT_EQ(size, 3u);
  expectNoError(*pipes.client);
  size = 3;
  EXPECT_FALSE(pipes.client->write("abc", size, 100));
  expectNoError(*pipes.client);
  EXPECT_FALSE(pipes.client->flush());
  expectNoError(*pipes.client);
  EXPECT_EQ(pipes.client->getName(), pipes.server.getName());
}

TEST(ReadWritePipe, CloseLogsWhatTheSystemRefusedAndStillEndsClosed) {
  ZerinTest::clearCaptures();
  {
    // A value no pipe has: both the cancellation and the closing fail.
    ReadWritePipe pipe("\\\\.\\pipe\\nothing", reinterpret_cast<platform::Handle>(uintptr_t{0xfffff0}));
    EXPECT_FALSE(pipe.isClosed());
    pipe.close();
    EXPECT_TRUE(pipe.isClosed());
    pipe.close();
  }
  const auto lines = ZerinTest::debugOutput();
  ASSERT_EQ(lines.size(), 2u);
  const std::string invalid = Zerin::windowsErrorText(platform::kErrorInvalidHandle);
  EXPECT_NE(lines[0].find(" ERR [Zerin::ReadWritePipe::close] Failed to cancel IO: " + invalid + "\n"),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find(" ERR [Zerin::ReadWritePipe::close] Failed to close pipe handle: " + invalid + "\n"),
            std::string::npos)
      << lines[1];
}

TEST(ReadWritePipe, ATimedWriteGivesUpAfterItsLimitAndCancelsOnlyItself) {
  ConnectedPipe pipes("timed-write");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  auto reading = std::async(std::launch::async, [&] { return readText(*pipes.client, 16); });
  ASSERT_EQ(reading.wait_for(50ms), std::future_status::timeout);

  const auto data = patternBytes(kLarge);
  uint32_t size = kLarge;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(pipes.client->write(data.data(), size, 100));
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, 100ms);
  EXPECT_LT(elapsed, 5s);
  EXPECT_EQ(size, kLarge);
  EXPECT_TRUE(pipes.client->hasError());
  EXPECT_EQ(pipes.client->getErrorCode(), platform::kErrorTimeout);
  EXPECT_EQ(pipes.client->getErrorMessage(), Zerin::windowsErrorText(platform::kErrorTimeout));

  // The read waiting on the same pipe goes on.
  ASSERT_TRUE(writeText(*pipes.serverEnd, "ok"));
  EXPECT_EQ(reading.get(), "ok");
  // The next operation that succeeds clears the error.
  ASSERT_TRUE(writeText(*pipes.serverEnd, "again"));
  EXPECT_EQ(readText(*pipes.client, 16), "again");
  expectNoError(*pipes.client);
  // Closed first: a closing flush would wait for the bytes nobody reads.
  pipes.client->close();
}

// As an overlapped pipe write, a timed write hands its reader what it takes while the write
// waits; when the time runs out the rest never arrives. The frame the write carried is then
// cut short on the reader's side, whatever count the cancelled write reports.
TEST(ReadWritePipe, ATimedWriteMayBePartlyTakenBeforeItTimesOut) {
  ConnectedPipe pipes("partial-write");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  const auto data = patternBytes(kLarge);
  constexpr size_t kTaken = 1000;
  auto reading = std::async(std::launch::async, [&] { return readBytes(*pipes.serverEnd, kTaken); });
  uint32_t size = kLarge;
  EXPECT_FALSE(pipes.client->write(data.data(), size, 300));
  EXPECT_EQ(pipes.client->getErrorCode(), platform::kErrorTimeout);
  EXPECT_EQ(reading.get(), std::vector<uint8_t>(data.begin(), data.begin() + kTaken));

  auto draining = std::async(std::launch::async, [&] {
    std::vector<uint8_t> rest;
    for (std::vector<uint8_t> more; !(more = readBytes(*pipes.serverEnd, 65536)).empty();)
      rest.insert(rest.end(), more.begin(), more.end());
    return rest;
  });
  ASSERT_TRUE(writeText(*pipes.client, "END!"));
  pipes.client->close();
  const std::vector<uint8_t> rest = draining.get();
  // Some more of the data may have gone before the time ran out, never all of it.
  ASSERT_GE(rest.size(), 4u);
  EXPECT_EQ(std::string(rest.end() - 4, rest.end()), "END!");
  const size_t more = rest.size() - 4;
  EXPECT_LT(kTaken + more, kLarge);
  EXPECT_EQ(std::vector<uint8_t>(rest.begin(), rest.end() - 4),
            std::vector<uint8_t>(data.begin() + kTaken, data.begin() + kTaken + more));
}

TEST(ReadWritePipe, AnExpiredLimitOnlyLetsAWriteThatNeedsNoWaiting) {
  ConnectedPipe pipes("expired");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  uint32_t size = 3;
  EXPECT_TRUE(pipes.client->write("abc", size, -1));
  EXPECT_EQ(size, 3u);
  expectNoError(*pipes.client);

  const auto data = patternBytes(kLarge);
  size = kLarge;
  EXPECT_FALSE(pipes.client->write(data.data(), size, -1));
  EXPECT_EQ(pipes.client->getErrorCode(), platform::kErrorTimeout);
  pipes.client->close();
}

TEST(ReadWritePipe, AWriteWaitsForItsReaderWithoutALimitAndWithinOne) {
  ConnectedPipe pipes("long-write");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  const auto data = patternBytes(kLarge);
  for (const int64_t limitMs : {int64_t{0}, int64_t{20000}}) {
    SCOPED_TRACE(limitMs);
    auto writing = std::async(std::launch::async, [&] {
      uint32_t size = kLarge;
      return pipes.client->write(data.data(), size, limitMs) ? size : 0u;
    });
    EXPECT_EQ(writing.wait_for(50ms), std::future_status::timeout) << "the write did not wait for its reader";
    EXPECT_EQ(readBytes(*pipes.serverEnd, kLarge), data);
    EXPECT_EQ(writing.get(), kLarge);
    expectNoError(*pipes.client);
  }
}

TEST(ReadWritePipe, FlushReturnsOnlyAfterThePeerHasReadEverything) {
  ConnectedPipe pipes("flush");
  ASSERT_TRUE(pipes.client && pipes.serverEnd);
  EXPECT_TRUE(pipes.client->flush());  // nothing unread

  const auto data = patternBytes(1000);
  uint32_t size = 1000;
  ASSERT_TRUE(pipes.client->write(data.data(), size, 0));
  auto flushing = std::async(std::launch::async, [&] { return pipes.client->flush(); });
  EXPECT_EQ(flushing.wait_for(100ms), std::future_status::timeout) << "flush did not wait for the reader";
  EXPECT_EQ(readBytes(*pipes.serverEnd, 1000), data);
  ASSERT_EQ(flushing.wait_for(10s), std::future_status::ready);
  EXPECT_TRUE(flushing.get());
  expectNoError(*pipes.client);
}

}  // namespace
