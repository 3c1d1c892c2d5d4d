// The callback queue through the exports, as the bindings' one consumer thread drains it.
#include <chrono>
#include <cstdio>
#include <future>
#include <numeric>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "plugin_fixture.h"
#include "zerin_lib.h"

namespace {

using namespace std::chrono_literals;

class CallbackQueue : public ZerinTest::PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    loadPlugin();
    logLine = reinterpret_cast<ZerinBridgeDebugLogCallback>(entry(1));
    message = reinterpret_cast<ZerinBridgeProgramManagerMessageHandler>(entry(2));
    frame = reinterpret_cast<ZerinBridgeStreamFrameCallback>(entry(3));
    loggerLine = reinterpret_cast<ZerinLogLineCallback>(entry(4));
    open();
  }
  void TearDown() override {
    if (plugin.CallbackQueue_Close) plugin.CallbackQueue_Close();
    PluginTest::TearDown();
  }

  void* entry(int32_t kind) const { return plugin.CallbackQueue_Entry(kind); }
  void open() const { plugin.CallbackQueue_Open(); }
  int32_t next(ZerinBridgeQueuedCallback* into, int32_t timeoutMs) const {
    return plugin.CallbackQueue_Next(into, timeoutMs);
  }
  void close() const { plugin.CallbackQueue_Close(); }
  ZerinBridgeDebugLogCallback logLine = nullptr;
  ZerinBridgeProgramManagerMessageHandler message = nullptr;
  ZerinBridgeStreamFrameCallback frame = nullptr;
  ZerinLogLineCallback loggerLine = nullptr;
  ZerinBridgeQueuedCallback got{};
};

std::vector<uint8_t> bytesAt(const void* data, size_t size) {
  const auto* first = static_cast<const uint8_t*>(data);
  return {first, first + size};
}

TEST_F(CallbackQueue, EachKindArrivesInOrderAsACopy) {
  EXPECT_EQ(entry(0), nullptr);
  EXPECT_EQ(entry(5), nullptr);
  std::string line = "a line";
  std::vector<uint8_t> payload{1, 0, 255};
  std::vector<uint8_t> pixels{9, 8, 7, 6, 5};
  ZerinStreamFrame record{2, 77, 123456789, 4, 3, 28, 16, pixels.data(), pixels.size()};
  int userData = 0;
  logLine(line.c_str());
  message(7, "Name", 4, payload.data(), 3);
  message(8, "Empty", 5, nullptr, 0);
  frame(&record, &userData);
  std::string tag = "Zerin::IPC::Client::connect";
  loggerLine(2, tag.c_str(), line.c_str());
  line.assign("reused");
  tag.assign("reused");
  payload.assign(3, 0);
  pixels.assign(5, 0);

  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ((std::tuple(got.kind, std::string(got.text), got.textLength)), std::tuple(1, "a line", 6));
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ((std::tuple(got.kind, got.clientHandle, std::string(got.text), got.textLength)), std::tuple(2, 7, "Name", 4));
  EXPECT_EQ(bytesAt(got.data, got.dataSize), (std::vector<uint8_t>{1, 0, 255}));
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ((std::tuple(got.clientHandle, std::string(got.text), got.data, got.dataSize)),
            std::tuple(8, "Empty", nullptr, 0));
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ((std::tuple(got.kind, got.userData, got.dataSize, got.dropped, got.reserved)),
            std::tuple(3, static_cast<void*>(&userData), static_cast<int32_t>(sizeof(ZerinStreamFrame)), 0, 0));
  const auto* copy = static_cast<const ZerinStreamFrame*>(got.data);
  EXPECT_EQ((std::tuple(copy->streamType, copy->timestamp, copy->rowPitch)), std::tuple(2, 123456789, 16u));
  EXPECT_EQ(bytesAt(copy->data, copy->dataSize), (std::vector<uint8_t>{9, 8, 7, 6, 5}));
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ((std::tuple(got.kind, got.clientHandle, std::string(got.text), got.textLength)),
            std::tuple(4, 2, "Zerin::IPC::Client::connect", 27));
  EXPECT_EQ((std::tuple(std::string(static_cast<const char*>(got.data)), got.dataSize)), std::tuple("a line", 6));
  EXPECT_EQ(next(&got, 0), 0);
}

TEST_F(CallbackQueue, ThePluginLogQueuedThroughSetDebugLog) {
  plugin.SetDebugLog(logLine);
  ASSERT_TRUE(plugin.InitSession());
  plugin.EndSession();
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_STREQ(got.text, "Initialize a new session");
}

TEST_F(CallbackQueue, ThreadsQueueingAtOnceKeepEachThreadsOrder) {
  constexpr int kThreads = 4, kLines = 1000;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t)
    producers.emplace_back([this, t] {
      for (int i = 0; i < kLines; ++i) logLine((std::to_string(t) + " " + std::to_string(i)).c_str());
    });
  std::vector<std::vector<int>> seen(kThreads);
  for (int n = 0; n < kThreads * kLines && next(&got, 10000) == 1; ++n) {
    int t = -1, i = -1;
    if (std::sscanf(got.text, "%d %d", &t, &i) == 2 && t >= 0 && t < kThreads) seen[t].push_back(i);
  }
  for (auto& producer : producers) producer.join();
  std::vector<int> inOrder(kLines);
  std::iota(inOrder.begin(), inOrder.end(), 0);
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(seen[t], inOrder) << "thread " << t;
  EXPECT_EQ(next(&got, 0), 0);
}

TEST_F(CallbackQueue, CloseLeavesTheConsumerWhatItHoldsAndWakesItWhenItWaits) {
  logLine("held");
  ASSERT_EQ(next(&got, 0), 1);
  close();
  EXPECT_STREQ(got.text, "held");
  open();
  auto waiting = std::async(std::launch::async, [this] {
    ZerinBridgeQueuedCallback later{};
    return next(&later, -1);
  });
  EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout) << "nothing queued: the consumer waits";
  close();
  ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), -1);
}

TEST_F(CallbackQueue, CallsPastTheCapAreDroppedAndCountedOnTheNextHandedOut) {
  // 16 MiB frames: three fit in 64 MiB beside their records, the fourth does not.
  std::vector<uint8_t> pixels(16u << 20, 3);
  ZerinStreamFrame record{1, 1, 0, 0, 0, 0, 0, pixels.data(), pixels.size()};
  for (int i = 0; i < 6; ++i) frame(&record, nullptr);
  const std::vector<int32_t> dropped{3, 0, 0};
  for (int32_t expected : dropped) {
    ASSERT_EQ(next(&got, 0), 1);
    EXPECT_EQ(got.dropped, expected);
  }
  EXPECT_EQ(next(&got, 0), 0);
  logLine("room again");
  ASSERT_EQ(next(&got, 0), 1);
  EXPECT_EQ(got.dropped, 0);
}

TEST_F(CallbackQueue, WhileClosedEntriesReturnAndNextReportsTheClose) {
  logLine("from before the reopening");
  open();
  EXPECT_EQ(next(&got, 0), 0) << "opening drops what was left";
  close();
  logLine("while closed");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(next(&got, 5000), -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << "at once";
  open();
  EXPECT_EQ(next(&got, 0), 0);
}

}  // namespace
