// The simulator's control exports against the runtime's own frame loop, driven here on a thread
// of the test as a client's render thread would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <future>
#include <limits>
#include <thread>

#include "zerin_lib.h"
#include "zerin_simulator_control.h"

namespace {

using namespace std::chrono_literals;

// A session whose frames a thread syncs one after another until told to stop.
class FrameDriver {
 public:
  FrameDriver() : session(zerin_SessionInit()), info(zerin_CreateFrameInfo(session)) {}
  ~FrameDriver() { stop(); }
  void start() {
    thread = std::thread([this] {
      while (!stopping) zerin_WaitSync(session, info);
    });
  }
  void stop() {
    stopping = true;
    if (thread.joinable()) thread.join();
    if (info) zerin_FreeFrameInfo(info);
    if (session) zerin_SessionShutDown(session);
    info = nullptr;
    session = nullptr;
  }
  ZerinSession session;
  ZerinFrameInfo* info;

 private:
  std::atomic<bool> stopping{false};
  std::thread thread;
};

TEST(SimulatorControl, WaitForFrameTimesOutWithoutFramesAndSeesThemWhenTheyCome) {
  EXPECT_EQ(zerinsim_WaitForFrame(1, 20), 0) << "no session, no frame";
  EXPECT_EQ(zerinsim_WaitForFrame(1, -5), 0) << "a negative time waits for nothing";
  FrameDriver driver;
  ASSERT_NE(driver.session, nullptr);
  driver.start();
  EXPECT_EQ(zerinsim_WaitForFrame(30, 60000), 1);
  EXPECT_GE(zerinsim_LatestFrame(), 30);
  EXPECT_EQ(zerinsim_WaitForFrame(2, 0), 1) << "a frame already passed needs no wait";
}

TEST(SimulatorControl, LatestFrameIsTheSyncedOneAndStartsAgainWithEachSession) {
  for (int round = 0; round < 2; ++round) {
    FrameDriver driver;
    for (int64_t frame = 1; frame <= 3; ++frame) {
      zerin_WaitSync(driver.session, driver.info);
      EXPECT_EQ(zerinsim_LatestFrame(), driver.info->frameIndex);
      EXPECT_EQ(zerinsim_LatestFrame(), frame);
    }
  }
}

TEST(SimulatorControl, ASessionShutDownReleasesAWaiter) {
  auto waiter = std::async(std::launch::async, [] { return zerinsim_WaitForFrame(1000000, 120000); });
  // The waiter may not be waiting yet when a session ends; each further session's end wakes it.
  for (int attempt = 0; attempt < 600 && waiter.wait_for(50ms) != std::future_status::ready; ++attempt) {
    FrameDriver driver;
    zerin_WaitSync(driver.session, driver.info);
  }
  ASSERT_EQ(waiter.wait_for(0s), std::future_status::ready) << "still waiting after the sessions ended";
  EXPECT_EQ(waiter.get(), 0);
}

TEST(SimulatorControl, SetHeadPoseRefusesWhatIsNotANumber) {
  const double position[3] = {0.5, 1.2, -0.25};
  const double turn[3] = {10, 0, 0};
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double bad[3] = {0, nan, 0};
  const double infinite[3] = {std::numeric_limits<double>::infinity(), 0, 0};
  EXPECT_EQ(zerinsim_SetHeadPose(position, bad), 0);
  EXPECT_EQ(zerinsim_SetHeadPose(infinite, turn), 0);
  EXPECT_EQ(zerinsim_SetHeadPose(position, turn), 1);
  EXPECT_EQ(zerinsim_SetHeadPose(nullptr, nullptr), 1);
}

// The head pose of each synced frame, as zerin_FrameGetPose reports it (translation in m[3],
// m[7], m[11]).
TEST(SimulatorControl, ASetHeadPoseIsTheNextFramesHeadUntilCleared) {
  FrameDriver driver;
  const double position[3] = {0.5, 1.2, -0.25};
  const double still[3] = {0, 0, 0};
  ASSERT_EQ(zerinsim_SetHeadPose(position, still), 1);
  zerin_WaitSync(driver.session, driver.info);
  ZerinMatrix head = zerin_FrameGetPose(driver.session, ZERIN_POSE_HEAD);
  EXPECT_DOUBLE_EQ(head.m[3], 0.5);
  EXPECT_DOUBLE_EQ(head.m[7], 1.2);
  EXPECT_DOUBLE_EQ(head.m[11], -0.25);
  zerinsim_SetHeadPose(nullptr, nullptr);
  zerin_WaitSync(driver.session, driver.info);
  head = zerin_FrameGetPose(driver.session, ZERIN_POSE_HEAD);
  EXPECT_DOUBLE_EQ(head.m[3], 0.0) << "the configured still pose again";
  EXPECT_DOUBLE_EQ(head.m[7], 1.6);
}

}  // namespace
