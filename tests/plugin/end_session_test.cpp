// EndSession against the render queues and the stream registry it empties, driven from the
// plug-in's own library (the exports cannot fill those yet).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "plugin/session.h"
#include "plugin/stream_registry.h"
#include "render/render_state.h"
#include "zerin_sim_control.h"

namespace {

using Lines = std::vector<std::string>;

void ignoreFrame(const void*, void*) {}

class EndSessionQueues : public ::testing::Test {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    ASSERT_TRUE(Zerin::initSession());
    zerinsim_ClearCalls();
  }
  void TearDown() override {
    if (Zerin::session.load()) Zerin::endSession();
  }

  static void fillQueues() {
    {
      std::lock_guard<std::mutex> lock(Zerin::swapchainRequestLock);
      Zerin::createQueue.push_back({new Zerin::SwapchainSlot{nullptr}, ZerinSwapChainConfig{}});
      Zerin::destroyQueue.push_back(new Zerin::SwapchainSlot{nullptr});
      Zerin::destroyQueue.push_back(nullptr);
    }
    std::lock_guard<std::mutex> lock(Zerin::submissionQueueLock);
    Zerin::submissionQueue.appendSlot().layerCount = 0;
  }

  // The create request's slot belongs to the script, which would free it with its destroy.
  Zerin::SwapchainSlot* createdSlot() {
    std::lock_guard<std::mutex> lock(Zerin::swapchainRequestLock);
    return Zerin::createQueue.front().slot;
  }

  static bool requestsEmpty() {
    std::lock_guard<std::mutex> lock(Zerin::swapchainRequestLock);
    return Zerin::createQueue.empty() && Zerin::destroyQueue.empty();
  }
  static bool submissionsEmpty() {
    std::lock_guard<std::mutex> lock(Zerin::submissionLock);
    return Zerin::submissionQueue.empty();
  }
};

TEST_F(EndSessionQueues, DropsRequestsAndSubmissionsAndStopsEveryStreamBeforeTheShutdown) {
  fillQueues();
  Zerin::SwapchainSlot* slot = createdSlot();
  ASSERT_TRUE(Zerin::streamRegistry.add(1, {11, &ignoreFrame}));
  ASSERT_TRUE(Zerin::streamRegistry.add(2, {22, &ignoreFrame}));
  Zerin::endSession();
  delete slot;

  EXPECT_TRUE(requestsEmpty());
  EXPECT_TRUE(submissionsEmpty());
  EXPECT_FALSE(Zerin::streamRegistry.find(1).has_value());
  EXPECT_FALSE(Zerin::streamRegistry.find(2).has_value());
  Lines logged = ZerinSim::calls();
  ASSERT_EQ(logged.size(), 7u);
  std::sort(logged.begin() + 3, logged.begin() + 5);  // the registry keeps no order
  EXPECT_EQ(logged, (Lines{"zerin_FreeFrameInfo(frameInfo#1)", "zerin_FreeFrameInfo(frameInfo#2)",
                           "zerin_FreeSubmitInfo(submitInfo#1)", "zerin_StopDataStream(session#1, 11)",
                           "zerin_StopDataStream(session#1, 22)", "zerin_SessionShutDown(session#1)",
                           "zerin_FreeEvent(event#1)"}));
}

TEST_F(EndSessionQueues, WithoutASessionStillEmptiesTheQueues) {
  Zerin::endSession();
  fillQueues();
  Zerin::SwapchainSlot* slot = createdSlot();
  zerinsim_ClearCalls();
  Zerin::endSession();
  delete slot;
  EXPECT_TRUE(requestsEmpty());
  EXPECT_TRUE(submissionsEmpty());
  EXPECT_TRUE(ZerinSim::calls().empty());
}

TEST_F(EndSessionQueues, TakesItsLocksOneAfterTheOtherAndShutsDownUnderTheFrameLock) {
  fillQueues();
  Zerin::SwapchainSlot* slot = createdSlot();
  std::unique_lock<std::mutex> frame(Zerin::frameLock);
  std::thread ending([] { Zerin::endSession(); });

  // While EndSession waits for the frame lock, the two queues are already empty and their
  // locks free again: it never holds two at once.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!(requestsEmpty() && submissionsEmpty()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  EXPECT_TRUE(requestsEmpty());
  EXPECT_TRUE(submissionsEmpty());
  EXPECT_EQ(zerinsim_LiveObjectCount("session"), 1) << "the shutdown waits for the frame lock";
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 2);

  frame.unlock();
  ending.join();
  delete slot;
  EXPECT_EQ(zerinsim_LiveObjectCount("session"), 0);
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 0);
  EXPECT_EQ(Zerin::session.load(), nullptr);
}

}  // namespace
