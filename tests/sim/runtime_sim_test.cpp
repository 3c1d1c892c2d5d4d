// The simulated runtime through its own API and control surface.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "zerin_sim_control.h"
#include "zerin_version.h"

namespace {

using Lines = std::vector<std::string>;

class SimRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    session = zerin_SessionInit();
    ASSERT_NE(session, nullptr);
    zerinsim_ClearCalls();
  }
  ZerinSession session = nullptr;
};

TEST_F(SimRuntime, ReportsTheBuiltInVersionUntilToldOtherwise) {
  EXPECT_STREQ(zerin_GetFullVersion(), ZERIN_RUNTIME_VERSION);
  zerinsim_SetVersion("9.9.9.9-rc-ffffffff");
  EXPECT_STREQ(zerin_GetFullVersion(), "9.9.9.9-rc-ffffffff");
  zerinsim_SetVersion(nullptr);
  EXPECT_STREQ(zerin_GetFullVersion(), ZERIN_RUNTIME_VERSION);
}

TEST_F(SimRuntime, AnErrorIsReportedOnceAndThenForgotten) {
  zerinsim_RaiseError(ZERIN_ERROR_DEVICE_LOST);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_DEVICE_LOST);
  EXPECT_EQ(zerin_GetError(session), 0);
}

TEST_F(SimRuntime, AClosedSessionIsRefused) {
  zerin_SessionShutDown(session);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_SESSION);
  zerin_SetSessionVisible(session, 1);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_SESSION);
  EXPECT_EQ(zerin_CreateFrameInfo(session), nullptr);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_SESSION);
}

TEST_F(SimRuntime, EachOpenSessionAndTheLibraryKeepTheirOwnError) {
  ZerinSession other = zerin_SessionInit();
  ASSERT_NE(other, nullptr);
  zerin_ResetPose(session, 0, 99);  // no such pose kind
  zerinsim_FailNextCall("zerin_SendHeartBeat", ZERIN_ERROR_DEVICE_LOST);
  zerin_SendHeartBeat(other, 1);
  zerin_SetSessionVisible(nullptr, 1);
  zerinsim_RaiseError(ZERIN_ERROR_NOT_FOUND);  // two sessions open: the library's, the latest
  EXPECT_EQ(zerin_GetError(other), ZERIN_ERROR_DEVICE_LOST);
  EXPECT_EQ(zerin_GetError(other), 0);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_NOT_FOUND);
  EXPECT_EQ(zerin_GetError(nullptr), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);

  // A session's error goes with it; with one session open, a raised error is that one's.
  zerin_ResetPose(session, 0, 99);
  zerin_SessionShutDown(session);
  zerinsim_RaiseError(ZERIN_ERROR_UNKNOWN);
  EXPECT_EQ(zerin_GetError(nullptr), 0);
  EXPECT_EQ(zerin_GetError(other), ZERIN_ERROR_UNKNOWN);
  zerin_SessionShutDown(other);
}

TEST_F(SimRuntime, AnUnavailableRuntimeOpensNoSession) {
  zerinsim_SetAvailable(0);
  EXPECT_EQ(zerin_IsAvailable(), 0);
  EXPECT_EQ(zerin_SessionInit(), nullptr);
  EXPECT_EQ(zerin_SessionInitWithLayerId(4), nullptr);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_RUNTIME_UNAVAILABLE);
}

TEST_F(SimRuntime, AnInjectedFailureHitsOnlyTheNextCallOfItsFunction) {
  zerinsim_FailNextCall("zerin_CreateFrameInfo", ZERIN_ERROR_OUT_OF_MEMORY);
  zerinsim_FailNextCall("zerin_GetError", 77);
  EXPECT_EQ(zerin_GetError(session), 77);
  EXPECT_EQ(zerin_GetError(session), 0);
  EXPECT_EQ(zerin_CreateFrameInfo(session), nullptr);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_OUT_OF_MEMORY);
  ZerinFrameInfo* info = zerin_CreateFrameInfo(session);
  EXPECT_NE(info, nullptr);
  zerin_FreeFrameInfo(info);
}

TEST_F(SimRuntime, RecordsAreMadeAndFreedInPairsAndBadFreesAreRefused) {
  ZerinFrameInfo* frame = zerin_CreateFrameInfo(session);
  ZerinSubmitInfo* submit = zerin_CreateSubmitInfo(session);
  ZerinEvent* event = zerin_AllocateEvent();
  ASSERT_TRUE(frame && submit && event);
  EXPECT_EQ(frame->views[3].viewport.height, 1152);
  EXPECT_EQ(submit->viewportCount, 4);
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 1);
  zerin_FreeFrameInfo(frame);
  zerin_FreeSubmitInfo(submit);
  zerin_FreeEvent(event);
  EXPECT_EQ(zerin_GetError(session), 0);
  zerin_FreeFrameInfo(frame);
  // A call that names no session leaves its error to the library.
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_ARGUMENT) << "a second free is caught";
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo") + zerinsim_LiveObjectCount("submitInfo") +
                zerinsim_LiveObjectCount("event"),
            0);
  const Lines logged = ZerinSim::calls();
  ASSERT_EQ(logged.size(), 9u);
  EXPECT_EQ(Lines(logged.begin(), logged.begin() + 7),
            (Lines{"zerin_CreateFrameInfo(session#1) -> frameInfo#1", "zerin_CreateSubmitInfo(session#1) -> submitInfo#1",
                   "zerin_AllocateEvent() -> event#1", "zerin_FreeFrameInfo(frameInfo#1)",
                   "zerin_FreeSubmitInfo(submitInfo#1)", "zerin_FreeEvent(event#1)", "zerin_GetError(session#1) -> 0"}));
  EXPECT_TRUE(std::regex_match(logged[7], std::regex(R"(zerin_FreeFrameInfo\(0x[0-9a-f]+\))"))) << logged[7];
}

TEST_F(SimRuntime, GetConfigReportsTheSizeWithTerminatorAndCopiesOnlyWhenItFits) {
  zerin_SetConfig(session, "key", "value");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(zerin_GetConfig(session, "key", nullptr, 0), 6);
  EXPECT_EQ(zerin_GetConfig(session, "key", buffer, 5), 6);
  EXPECT_STREQ(buffer, "xxxxxxx") << "too small: nothing written";
  EXPECT_EQ(zerin_GetConfig(session, "key", buffer, 6), 6);
  EXPECT_STREQ(buffer, "value");
  zerin_SetConfig(session, "key", nullptr);
  EXPECT_EQ(zerin_GetConfig(session, "key", buffer, 8), 0);
  EXPECT_EQ(zerin_GetConfig(session, nullptr, buffer, 8), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
}

TEST_F(SimRuntime, QueuedConfigValuesLandAfterEachQuery) {
  zerinsim_SetConfigValue("k", "1");
  zerinsim_QueueConfigValue("k", "22");
  zerinsim_QueueConfigValue("k", nullptr);
  EXPECT_EQ(zerin_GetConfig(session, "k", nullptr, 0), 2);
  EXPECT_EQ(zerin_GetConfig(session, "k", nullptr, 0), 3);
  EXPECT_EQ(zerin_GetConfig(session, "k", nullptr, 0), 0);
  EXPECT_EQ(zerin_GetConfig(session, "k", nullptr, 0), 0);
}

TEST(SimEulerAngles, TurnQuaternionsIntoAnglesAboutEachAxis) {
  const double pi = std::acos(-1.0);
  const double s = std::sin(pi / 8), c = std::cos(pi / 8);  // 45 degrees
  auto x = zerin_GetEulerAngles(s, 0, 0, c);
  EXPECT_NEAR(x.aroundX, pi / 4, 1e-12);
  EXPECT_NEAR(x.aroundY, 0, 1e-12);
  auto z = zerin_GetEulerAngles(0, 0, 2 * s, 2 * c);  // not normalised
  EXPECT_NEAR(z.aroundZ, pi / 4, 1e-12);
  EXPECT_NEAR(z.aroundX, 0, 1e-12);
  auto none = zerin_GetEulerAngles(0, 0, 0, 0);
  EXPECT_EQ(none.aroundX, 0);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_ARGUMENT);
}

}  // namespace
