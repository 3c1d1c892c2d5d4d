// The gaze exports against the simulated eye tracker: records pass through byte for byte.
#include <chrono>
#include <cstring>
#include <regex>
#include <thread>

#include "events_gaze_mr_fixture.h"

namespace {

using ZerinSim::calls;
using ZerinSim::callsTo;
using Lines = std::vector<std::string>;

// Every byte different, so that a shifted or partial copy shows.
template <class Record>
Record patterned(uint8_t seed) {
  Record record;
  auto* bytes = reinterpret_cast<uint8_t*>(&record);
  for (size_t i = 0; i < sizeof record; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return record;
}

// The plug-in's record and the runtime's are declared apart, with one layout.
template <class A, class B>
bool sameBytes(const A& a, const B& b) {
  static_assert(sizeof a == sizeof b, "");
  return std::memcmp(&a, &b, sizeof a) == 0;
}

Lines withBuffersNamed(const Lines& lines) {
  Lines named;
  for (const auto& line : lines) named.push_back(std::regex_replace(line, std::regex("0x[0-9a-f]+"), "buffer"));
  return named;
}

using Gaze = ZerinTest::DevicesTest;

TEST_F(Gaze, OldestSampleWithoutASessionIsFalseAndNeverAsksTheRuntime) {
  plugin.EndSession();
  clearLogs();
  ZerinBridgeGazeSample out = patterned<ZerinBridgeGazeSample>(3);
  const ZerinBridgeGazeSample before = out;
  EXPECT_FALSE(plugin.GetOldestGazeIfAvailable(&out));
  EXPECT_TRUE(sameBytes(out, before));
  EXPECT_TRUE(calls().empty());
}

TEST_F(Gaze, OldestSampleIsFalseWithNoneBufferedAndTrueWithTheRecordOfOne) {
  zerinsim_SetGazeRate(0);
  ASSERT_TRUE(plugin.InitGaze());
  ZerinBridgeGazeSample out{};
  EXPECT_FALSE(plugin.GetOldestGazeIfAvailable(&out));

  const ZerinGazeSample queued = patterned<ZerinGazeSample>(11);
  ASSERT_EQ(zerinsim_QueueGazeSample(&queued), 1);
  EXPECT_TRUE(plugin.GetOldestGazeIfAvailable(&out));
  EXPECT_TRUE(sameBytes(out, queued)) << "all 216 bytes, written straight into the caller's record";
  EXPECT_FALSE(plugin.GetOldestGazeIfAvailable(&out));
  EXPECT_EQ(withBuffersNamed(callsTo("zerin_GetGazeArray")),
            (Lines{"zerin_GetGazeArray(session#1, buffer, 1) -> 0", "zerin_GetGazeArray(session#1, buffer, 1) -> 1",
                   "zerin_GetGazeArray(session#1, buffer, 1) -> 0"}));
  EXPECT_FALSE(plugin.GetOldestGazeIfAvailable(nullptr)) << "no record to write into";
}

TEST_F(Gaze, OldestSamplesComeOutInTheTrackersOrder) {
  zerinsim_SetGazeRate(500.0);
  ASSERT_TRUE(plugin.InitGaze());
  ZerinSession session = static_cast<ZerinSession>(plugin.GetSession());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (zerinsim_BufferedGazeCount(session) < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ZerinBridgeGazeSample first{}, second{}, third{};
  ASSERT_TRUE(plugin.GetOldestGazeIfAvailable(&first));
  ASSERT_TRUE(plugin.GetOldestGazeIfAvailable(&second));
  ASSERT_TRUE(plugin.GetOldestGazeIfAvailable(&third));
  EXPECT_EQ(first.frameIndex, 1);
  EXPECT_EQ(second.frameIndex, 2);
  EXPECT_EQ(third.frameIndex, 3);
  EXPECT_EQ(second.timestamp - first.timestamp, 2000000) << "500 samples a second";
}

TEST_F(Gaze, GetGazeReturnsTheRuntimesBytesEvenWithAnErrorPendingAndTakesTheError) {
  ASSERT_TRUE(plugin.InitGaze());
  const ZerinGazeSample pinned = patterned<ZerinGazeSample>(29);
  zerinsim_PinGaze(&pinned);
  zerinsim_RaiseError(ZERIN_ERROR_DEVICE_LOST);
  clearLogs();
  const ZerinBridgeGazeSample got = plugin.GetGaze();
  EXPECT_TRUE(sameBytes(got, pinned));
  EXPECT_EQ(calls(), (Lines{"zerin_GetGaze(session#1)", "zerin_GetError(session#1) -> -7"}));
  EXPECT_EQ(plugin.GetError(), 0) << "the error was taken off the runtime";
}

TEST_F(Gaze, GetGazeBeforeInitGazeHandsOutTheRuntimesEmptyRecord) {
  const ZerinBridgeGazeSample got = plugin.GetGaze();
  EXPECT_TRUE(sameBytes(got, ZerinGazeSample{}));
  EXPECT_EQ(calls(), (Lines{"zerin_GetGaze(session#1)", "zerin_GetError(session#1) -> -9"}));
}

TEST_F(Gaze, InitGazeReportsTheRuntimesErrorAndHandsOnANullSession) {
  EXPECT_TRUE(plugin.InitGaze());
  EXPECT_EQ(calls(), (Lines{"zerin_GazeInit(session#1)", "zerin_GetError(session#1) -> 0"}));
  zerinsim_FailNextCall("zerin_GazeInit", ZERIN_ERROR_DEVICE_LOST);
  EXPECT_FALSE(plugin.InitGaze());

  plugin.EndSession();
  clearLogs();
  EXPECT_FALSE(plugin.InitGaze());
  EXPECT_EQ(calls(), (Lines{"zerin_GazeInit(null)", "zerin_GetError(null) -> -3"}));
}

TEST_F(Gaze, RawGazePassesAll232BytesThrough) {
  ASSERT_TRUE(plugin.InitGaze());
  const ZerinRawGazeSample pinned = patterned<ZerinRawGazeSample>(5);
  zerinsim_PinRawGaze(&pinned);
  EXPECT_TRUE(sameBytes(plugin.GetRawGazeData(), pinned));
  zerinsim_PinRawGaze(nullptr);
  const ZerinBridgeRawGazeSample tracked = plugin.GetRawGazeData();
  EXPECT_NEAR(tracked.interPupillaryDistanceMm, 64.0, 1e-9) << "the tracker's own record";
  EXPECT_EQ(callsTo("zerin_GetRawGazeData"), (Lines{"zerin_GetRawGazeData(session#1)", "zerin_GetRawGazeData(session#1)"}));
}

TEST_F(Gaze, CalibrationRequestsReachTheRuntimeWithTheirParameters) {
  plugin.RequestGazeCalibration();
  const ZerinGazeCalibrationParameter parameters[3] = {{4, 1.5}, {8, 2.5}, {16, -0.25}};
  plugin.RequestGazeCalibrationWithParameters(parameters, 3);
  plugin.RequestGazeCalibrationWithParameters(nullptr, 0);
  EXPECT_EQ(withBuffersNamed(calls()),
            (Lines{"zerin_RequestGazeCalibration(session#1)",
                   "zerin_RequestGazeCalibrationWithParameters(session#1, buffer, 3)",
                   "zerin_RequestGazeCalibrationWithParameters(session#1, null, 0)"}));
  ASSERT_EQ(zerinsim_CalibrationRequestCount(), 3);
  int32_t withParameters = -1;
  ZerinGazeCalibrationParameter copied[3]{};
  EXPECT_EQ(zerinsim_GetCalibrationRequest(1, nullptr, &withParameters, copied, 3), 3);
  EXPECT_EQ(std::memcmp(copied, parameters, sizeof parameters), 0);
  EXPECT_EQ(zerinsim_GetCalibrationRequest(2, nullptr, &withParameters, nullptr, 0), 0) << "a count of 0 still arrives";
  EXPECT_EQ(withParameters, 1);
}

}  // namespace
