// The simulated runtime's devices through its API: events and buttons, the gaze tracker,
// mixed-reality properties, data streams and occlusion meshes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "zerin_sim_control.h"
#include "zerin_sim_devices.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

constexpr auto kPatience = 10s;  // far beyond any wait these tests need

class SimDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    zerinsim_Reset();
    session = zerin_SessionInit();
    ASSERT_NE(session, nullptr);
    zerinsim_ClearCalls();
  }
  void TearDown() override { zerinsim_Reset(); }

  std::vector<ZerinEvent> pollAll() {
    std::vector<ZerinEvent> events;
    ZerinEvent event{};
    while (zerin_PollEvent(session, &event) == 1) events.push_back(event);
    return events;
  }

  ZerinSession session = nullptr;
};

/* ---- Events and buttons ------------------------------------------------------------------- */

TEST_F(SimDevices, DeviceChangesBecomeEventsInOrderAndRepeatsOfAStateAreSilent) {
  zerinsim_SetForeground(1);  // the session starts in front: no change
  zerinsim_SetForeground(0);
  zerinsim_SetHeadsetStandby(1);
  zerinsim_SetHeadsetStandby(1);
  zerin_SetSessionVisible(session, 0);
  zerin_SetSessionVisible(session, 0);
  zerinsim_SetCameraProperty(0x31, 7);
  zerinsim_SetDeviceStatus(2, 5);
  const auto before = std::chrono::steady_clock::now().time_since_epoch();
  const auto events = pollAll();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0].type, ZERIN_EVENT_FOREGROUND);
  EXPECT_EQ(events[0].data.u32, 0u);
  EXPECT_EQ(events[1].type, ZERIN_EVENT_HEADSET_STANDBY);
  EXPECT_EQ(events[1].data.u32, 1u);
  EXPECT_EQ(events[2].type, ZERIN_EVENT_VISIBILITY);
  EXPECT_EQ(events[2].data.u32, 0u);
  EXPECT_EQ(events[3].type, ZERIN_EVENT_MR_CAMERA_PROPERTY);
  EXPECT_EQ(events[3].data.i64, (int64_t{7} << 32) | 0x31);
  EXPECT_EQ(events[4].type, ZERIN_EVENT_MR_DEVICE_STATUS);
  EXPECT_EQ(events[4].data.i64, (int64_t{5} << 32) | 2);
  for (size_t i = 1; i < events.size(); ++i) EXPECT_LE(events[i - 1].timestamp, events[i].timestamp);
  EXPECT_LE(events[4].timestamp, std::chrono::duration_cast<std::chrono::nanoseconds>(before).count());
  EXPECT_GT(events[0].timestamp, 0);
}

TEST_F(SimDevices, WithoutAnOpenSessionNothingIsQueued) {
  zerin_SessionShutDown(session);
  zerinsim_SetForeground(0);
  zerinsim_SetButton(3, 1);
  ZerinSession next = zerin_SessionInit();
  ZerinEvent event{};
  EXPECT_EQ(zerin_PollEvent(next, &event), 0);
  session = next;
}

TEST_F(SimDevices, ButtonsAnswerDownAndTheEdgesSinceTheLastQuery) {
  zerinsim_SetButton(5, 1);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_DOWN), 1);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_PRESSED), 1);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_PRESSED), 0) << "reported once";
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_RELEASED), 0);
  EXPECT_EQ(zerin_GetButtonEvent(session, 6, ZERIN_BUTTON_STATE_DOWN), 0);
  zerinsim_SetButton(5, 0);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_DOWN), 0);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_RELEASED), 1);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, ZERIN_BUTTON_STATE_RELEASED), 0);
  EXPECT_EQ(zerin_GetError(session), 0);
  EXPECT_EQ(zerin_GetButtonEvent(session, 5, 9), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);

  const auto events = pollAll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, ZERIN_EVENT_BUTTON);
  EXPECT_EQ(events[0].data.i64, (int64_t{ZERIN_BUTTON_STATE_PRESSED} << 32) | 5);
  EXPECT_EQ(events[1].data.i64, (int64_t{ZERIN_BUTTON_STATE_RELEASED} << 32) | 5);
  EXPECT_EQ(ZerinSim::callsTo("zerin_GetButtonEvent")[0], "zerin_GetButtonEvent(session#1, 5, 1) -> 1");
}

/* ---- Gaze --------------------------------------------------------------------------------- */

TEST_F(SimDevices, GazeNeedsInitAndThenBuffersAtASteadyRateOldestFirst) {
  ZerinGazeSample samples[8]{};
  EXPECT_EQ(zerin_GetGazeArray(session, samples, 8), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_STATE);

  zerinsim_SetGazeRate(1000.0);
  zerin_GazeInit(session);
  EXPECT_EQ(zerin_GetError(session), 0);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (zerinsim_BufferedGazeCount(session) < 8 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::yield();
  ASSERT_EQ(zerin_GetGazeArray(session, samples, 3), 3);
  ASSERT_EQ(zerin_GetGazeArray(session, samples + 3, 5), 5);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(samples[i].frameIndex, i + 1) << "one sample a tick, oldest first";
    if (i > 0) {
      EXPECT_NEAR(static_cast<double>(samples[i].timestamp - samples[i - 1].timestamp), 1e6, 1.0);
    }
    EXPECT_NEAR(std::hypot(samples[i].combinedDirection.x, samples[i].combinedDirection.y,
                           samples[i].combinedDirection.z),
                1.0, 1e-9);
    EXPECT_EQ(samples[i].validity, 15u);
  }
  EXPECT_NE(std::memcmp(&samples[0].combinedDirection, &samples[1].combinedDirection, sizeof(ZerinVector3d)), 0);
  // The latest sample is at least as new as every buffered one.
  const ZerinGazeSample latest = zerin_GetGaze(session);
  EXPECT_GE(latest.frameIndex, samples[7].frameIndex);
}

TEST_F(SimDevices, GazeBufferKeepsTheNewestTwoHundredFiftySixAndQueuedSamples) {
  zerinsim_SetGazeRate(0);
  zerin_GazeInit(session);
  ZerinGazeSample sample{};
  for (int i = 0; i < 300; ++i) {
    sample.frameIndex = 1000 + i;
    ASSERT_EQ(zerinsim_QueueGazeSample(&sample), 1);
  }
  EXPECT_EQ(zerinsim_BufferedGazeCount(session), 256);
  ZerinGazeSample out{};
  EXPECT_EQ(zerin_GetGazeArray(session, &out, 1), 1);
  EXPECT_EQ(out.frameIndex, 1044);
  EXPECT_EQ(zerin_GetGaze(session).frameIndex, 1299) << "the latest is the newest queued";
  EXPECT_EQ(zerin_GetGazeArray(session, nullptr, 1), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
}

TEST_F(SimDevices, RawGazeDescribesTheLatestSampleAndPinnedRecordsWin) {
  zerinsim_SetGazeRate(0);
  zerin_GazeInit(session);
  ZerinGazeSample sample{};
  sample.timestamp = 5000000;
  sample.left.origin.x = -0.031;
  sample.right.origin.x = 0.033;
  sample.left.direction = {0.1, 0.0, -1.0};
  zerinsim_QueueGazeSample(&sample);
  const ZerinRawGazeSample raw = zerin_GetRawGazeData(session);
  EXPECT_EQ(raw.timestamp, 5000000);
  EXPECT_NEAR(raw.interPupillaryDistanceMm, 64.0, 1e-9);
  EXPECT_NEAR(raw.left.pupilCentreX, 360.0, 1e-9);
  EXPECT_EQ(raw.right.cameraIndex, 1u);

  ZerinRawGazeSample pinnedRaw{};
  pinnedRaw.sensorTimestamp = 77;
  zerinsim_PinRawGaze(&pinnedRaw);
  EXPECT_EQ(zerin_GetRawGazeData(session).sensorTimestamp, 77);
  zerinsim_PinRawGaze(nullptr);
  EXPECT_EQ(zerin_GetRawGazeData(session).timestamp, 5000000);
}

TEST_F(SimDevices, CalibrationRequestsAreRecordedWithCopiesOfTheirParameters) {
  const ZerinGazeCalibrationParameter parameters[2] = {{1, 0.5}, {2, -3.0}};
  zerin_RequestGazeCalibration(session);
  zerin_RequestGazeCalibrationWithParameters(session, parameters, 2);
  zerin_RequestGazeCalibrationWithParameters(session, nullptr, 0);
  zerin_RequestGazeCalibrationWithParameters(session, nullptr, 3);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
  ASSERT_EQ(zerinsim_CalibrationRequestCount(), 3);
  ZerinSession from = nullptr;
  int32_t withParameters = -1;
  ZerinGazeCalibrationParameter copied[4]{};
  EXPECT_EQ(zerinsim_GetCalibrationRequest(0, &from, &withParameters, copied, 4), 0);
  EXPECT_EQ(from, session);
  EXPECT_EQ(withParameters, 0);
  EXPECT_EQ(zerinsim_GetCalibrationRequest(1, &from, &withParameters, copied, 4), 2);
  EXPECT_EQ(withParameters, 1);
  EXPECT_EQ(copied[1].key, 2);
  EXPECT_EQ(copied[1].value, -3.0);
  EXPECT_EQ(zerinsim_GetCalibrationRequest(2, nullptr, &withParameters, nullptr, 0), 0);
  EXPECT_EQ(withParameters, 1);
  EXPECT_EQ(zerinsim_GetCalibrationRequest(3, nullptr, nullptr, nullptr, 0), -1);
}

/* ---- Properties and stream configurations ------------------------------------------------- */

TEST_F(SimDevices, SessionsSeeDevicePropertiesAsOfTheirLastSync) {
  EXPECT_EQ(zerin_HasProperty(session, ZERIN_PROPERTY_MR_AVAILABLE), 1);
  EXPECT_EQ(zerin_GetPropertyBool(session, ZERIN_PROPERTY_MR_AVAILABLE), 1);
  zerinsim_SetDeviceProperty(ZERIN_PROPERTY_MR_AVAILABLE, 0);
  EXPECT_EQ(zerin_GetPropertyBool(session, ZERIN_PROPERTY_MR_AVAILABLE), 1) << "not synced yet";
  zerin_SyncProperties(session);
  EXPECT_EQ(zerin_GetPropertyBool(session, ZERIN_PROPERTY_MR_AVAILABLE), 0);
  zerinsim_RemoveDeviceProperty(ZERIN_PROPERTY_MR_AVAILABLE);
  zerin_SyncProperties(session);
  EXPECT_EQ(zerin_HasProperty(session, ZERIN_PROPERTY_MR_AVAILABLE), 0);
  EXPECT_EQ(zerin_GetError(session), 0);
  EXPECT_EQ(zerin_GetPropertyBool(session, ZERIN_PROPERTY_MR_AVAILABLE), 0);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_NOT_FOUND);
}

TEST_F(SimDevices, StreamConfigurationsAreTheConfiguredListInOrder) {
  ASSERT_EQ(zerin_GetDataStreamConfigCount(session), 3);
  ZerinDataStreamConfig offered[3]{};
  ASSERT_EQ(zerin_GetDataStreamConfigs(session, offered, 3), 3);
  EXPECT_EQ(offered[0].streamId, 0x100);
  EXPECT_EQ(offered[0].bufferType, 2) << "the first stereo stream lives on the GPU";
  EXPECT_EQ(offered[1].streamType, ZERIN_STREAM_TYPE_STEREO_CAMERA);
  EXPECT_EQ(offered[1].channelFlags, 3);
  EXPECT_EQ(offered[2].streamType, ZERIN_STREAM_TYPE_DEPTH_CAMERA);
  EXPECT_STREQ(offered[2].name, "depth camera");

  ZerinDataStreamConfig mine[2]{};
  mine[0].streamId = 9;
  mine[1].streamId = 4;
  zerinsim_SetDataStreamConfigs(mine, 2);
  ZerinDataStreamConfig one{};
  EXPECT_EQ(zerin_GetDataStreamConfigCount(session), 2);
  EXPECT_EQ(zerin_GetDataStreamConfigs(session, &one, 1), 1) << "no more than asked for";
  EXPECT_EQ(one.streamId, 9);
  zerinsim_SetDataStreamConfigs(nullptr, 0);
  EXPECT_EQ(zerin_GetDataStreamConfigCount(session), 3);
}

/* ---- Data streams ------------------------------------------------------------------------- */

// What one stream's callback saw; shared with the delivery thread.
struct Delivery {
  std::mutex mutex;  // guards everything below
  std::condition_variable changed;
  std::vector<ZerinStreamFrame> frames;
  std::vector<uint64_t> channels;
  std::vector<int64_t> deliveringStreams;
  std::vector<std::vector<uint8_t>> firstBytes;
  std::thread::id thread;

  bool waitForFrames(size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return frames.size() >= count; });
  }
  size_t frameCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames.size();
  }
};

// Stops every stream when it goes: declared after the records that callbacks write, it keeps
// them alive until no callback can run, also when an assertion ends the test early.
struct StopsStreams {
  ~StopsStreams() { zerinsim_Reset(); }
};

void recordFrame(const ZerinStreamFrame* frame, uint64_t channel, void* userData) {
  auto& delivery = *static_cast<Delivery*>(userData);
  std::lock_guard<std::mutex> lock(delivery.mutex);
  delivery.frames.push_back(*frame);
  delivery.channels.push_back(channel);
  delivery.deliveringStreams.push_back(zerinsim_DeliveryThreadStream());
  const auto* bytes = static_cast<const uint8_t*>(frame->data);
  delivery.firstBytes.emplace_back(bytes, bytes + std::min<uint64_t>(frame->dataSize, 4));
  delivery.thread = std::this_thread::get_id();
  delivery.changed.notify_all();
}

TEST_F(SimDevices, AStreamDeliversAFramePerChannelFromItsOwnThreadUntilStopped) {
  zerinsim_SetStreamFrameInterval(1000);
  Delivery delivery;
  const StopsStreams stops;
  zerin_StartDataStream(session, 0x101, ~0ull, &recordFrame, &delivery);
  ASSERT_EQ(zerin_GetError(session), 0);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 1);
  ASSERT_TRUE(delivery.waitForFrames(6));
  zerin_StopDataStream(session, 0x101);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  const size_t delivered = delivery.frameCount();

  std::lock_guard<std::mutex> lock(delivery.mutex);
  EXPECT_NE(delivery.thread, std::this_thread::get_id());
  for (size_t i = 0; i < delivered; ++i) {
    const ZerinStreamFrame& frame = delivery.frames[i];
    EXPECT_EQ(frame.streamType, ZERIN_STREAM_TYPE_STEREO_CAMERA);
    EXPECT_EQ(frame.streamId, 0x101);
    EXPECT_EQ(frame.width, 64u);
    EXPECT_EQ(frame.rowPitch, 256u);
    EXPECT_EQ(frame.dataSize, 256u * 48u);
    EXPECT_EQ(delivery.channels[i], i % 2 == 0 ? 1u : 2u) << "left, then right";
    EXPECT_EQ(delivery.deliveringStreams[i], 0x101);
  }
  EXPECT_NE(delivery.firstBytes[0], delivery.firstBytes[1]) << "channels differ";
  EXPECT_NE(delivery.firstBytes[0], delivery.firstBytes[2]) << "frames differ";
  EXPECT_EQ(zerinsim_DeliveryThreadStream(), -1);
  const auto events = pollAll();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].type, ZERIN_EVENT_DATA_STREAM_START);
  EXPECT_EQ(events[0].data.i64, 0x101);
  EXPECT_EQ(events[1].type, ZERIN_EVENT_DATA_STREAM_STOP);
  EXPECT_EQ(events[1].data.i64, 0x101);
}

TEST_F(SimDevices, AChannelMaskLimitsTheChannelsAndBadStartsAreRefused) {
  zerinsim_SetStreamFrameInterval(1000);
  Delivery delivery;
  const StopsStreams stops;
  zerin_StartDataStream(session, 0x101, ZERIN_STREAM_CHANNEL_RIGHT, &recordFrame, &delivery);
  ASSERT_TRUE(delivery.waitForFrames(3));
  zerin_StartDataStream(session, 0x101, ~0ull, &recordFrame, &delivery);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_STATE) << "already started";
  zerin_StopDataStream(session, 0x101);
  {
    std::lock_guard<std::mutex> lock(delivery.mutex);
    for (uint64_t channel : delivery.channels) EXPECT_EQ(channel, 2u);
  }
  zerin_StartDataStream(session, 0x777, ~0ull, &recordFrame, &delivery);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_NOT_FOUND);
  zerin_StartDataStream(session, 0x201, ZERIN_STREAM_CHANNEL_RIGHT, &recordFrame, &delivery);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT) << "the depth camera has no right channel";
  zerin_StartDataStream(session, 0x201, ~0ull, nullptr, &delivery);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
  zerin_StopDataStream(session, 0x201);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_NOT_FOUND);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
}

TEST_F(SimDevices, FramesFollowTheConfiguredRate) {
  ZerinDataStreamConfig config{};
  config.streamId = 42;
  config.channelFlags = ZERIN_STREAM_CHANNEL_LEFT;
  config.streamType = ZERIN_STREAM_TYPE_DEPTH_CAMERA;
  config.bufferType = ZERIN_STREAM_BUFFER_CPU;
  config.width = 4;
  config.height = 2;
  config.framesPerSecond = 200;
  zerinsim_SetDataStreamConfigs(&config, 1);
  Delivery delivery;
  const StopsStreams stops;
  zerin_StartDataStream(session, 42, ~0ull, &recordFrame, &delivery);
  ASSERT_TRUE(delivery.waitForFrames(5));
  zerin_StopDataStream(session, 42);
  std::lock_guard<std::mutex> lock(delivery.mutex);
  // At 200 a second frames begin at least 5 ms apart (a slow machine only stretches this).
  for (int i = 1; i < 5; ++i) EXPECT_GE(delivery.frames[i].timestamp - delivery.frames[i - 1].timestamp, 5000000);
}

// A callback that holds the delivery thread until the test lets it go.
struct HeldCallback {
  std::mutex mutex;  // guards entered, released, returned
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
  std::atomic<bool> returned{false};
};

void holdFirstFrame(const ZerinStreamFrame*, uint64_t, void* userData) {
  auto& held = *static_cast<HeldCallback*>(userData);
  std::unique_lock<std::mutex> lock(held.mutex);
  if (held.entered) return;
  held.entered = true;
  held.changed.notify_all();
  held.changed.wait(lock, [&] { return held.released; });
  held.returned = true;
}

TEST_F(SimDevices, AStopWaitsForTheCallbackInProgressAndLetsOtherCallsIn) {
  zerinsim_SetStreamFrameInterval(0);
  HeldCallback held;
  const StopsStreams stops;
  zerin_StartDataStream(session, 0x201, ~0ull, &holdFirstFrame, &held);
  {
    std::unique_lock<std::mutex> lock(held.mutex);
    ASSERT_TRUE(held.changed.wait_for(lock, kPatience, [&] { return held.entered; }));
  }
  std::atomic<bool> stopReturned{false};
  bool callbackHadReturned = false;
  std::thread stopper([&] {
    zerin_StopDataStream(session, 0x201);
    callbackHadReturned = held.returned;
    stopReturned = true;
  });
  // Give the stop time to start waiting; the library must stay usable meanwhile.
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(zerin_GetDataStreamConfigCount(session), 3);
  EXPECT_FALSE(stopReturned.load());
  {
    std::lock_guard<std::mutex> lock(held.mutex);
    held.released = true;
  }
  held.changed.notify_all();
  stopper.join();
  EXPECT_TRUE(callbackHadReturned) << "the stop returned before the callback did";
}

// Stops its own stream from inside its callback, once.
struct SelfStopping {
  ZerinSession session;
  std::atomic<int> calls{0};
  std::atomic<bool> stopped{false};
};

void stopFromInside(const ZerinStreamFrame* frame, uint64_t, void* userData) {
  auto& self = *static_cast<SelfStopping*>(userData);
  ++self.calls;
  if (!self.stopped.exchange(true)) zerin_StopDataStream(self.session, frame->streamId);
}

TEST_F(SimDevices, AStreamStoppedFromItsOwnCallbackEndsWithoutDeadlock) {
  zerinsim_SetStreamFrameInterval(0);
  SelfStopping self{session};
  const StopsStreams stops;
  zerin_StartDataStream(session, 0x201, ~0ull, &stopFromInside, &self);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (zerinsim_ActiveStreamCount() != 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  // The retired thread is joined by the next call that may wait.
  zerin_StartDataStream(session, 0x201, ~0ull, &stopFromInside, &self);
  zerin_StopDataStream(session, 0x201);
  EXPECT_EQ(ZerinSim::callsTo("zerin_StopDataStream").size(), 2u);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  EXPECT_GE(self.calls.load(), 1);
}

TEST_F(SimDevices, ShuttingTheSessionDownOrResettingStopsItsStreams) {
  zerinsim_SetStreamFrameInterval(0);
  Delivery first, second, third;
  const StopsStreams stops;
  zerin_StartDataStream(session, 0x101, ~0ull, &recordFrame, &first);
  ASSERT_TRUE(first.waitForFrames(1));
  zerin_SessionShutDown(session);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  const size_t afterShutdown = first.frameCount();

  session = zerin_SessionInit();
  zerin_StartDataStream(session, 0x201, ~0ull, &recordFrame, &second);
  ASSERT_TRUE(second.waitForFrames(1));
  zerinsim_Reset();
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  const size_t afterReset = second.frameCount();
  // Nothing arrives once they have returned: another stream's frames prove time has passed.
  zerinsim_SetStreamFrameInterval(0);
  session = zerin_SessionInit();
  zerin_StartDataStream(session, 0x201, ~0ull, &recordFrame, &third);
  ASSERT_TRUE(third.waitForFrames(20));
  EXPECT_EQ(first.frameCount(), afterShutdown);
  EXPECT_EQ(second.frameCount(), afterReset);
}

/* ---- Occlusion meshes --------------------------------------------------------------------- */

double cross(const ZerinOcclusionVertex& o, const ZerinOcclusionVertex& a, const ZerinOcclusionVertex& b) {
  return (static_cast<double>(a.x) - o.x) * (static_cast<double>(b.y) - o.y) -
         (static_cast<double>(a.y) - o.y) * (static_cast<double>(b.x) - o.x);
}

// How many of the mesh's triangles hold the point.
int coverage(const ZerinOcclusionMesh& mesh, float x, float y) {
  const ZerinOcclusionVertex p{x, y};
  int count = 0;
  for (int32_t i = 0; i + 2 < mesh.vertexCount; i += 3) {
    const auto* v = mesh.vertices + i;
    if (cross(v[0], v[1], p) >= 0 && cross(v[1], v[2], p) >= 0 && cross(v[2], v[0], p) >= 0) ++count;
  }
  return count;
}

TEST_F(SimDevices, OcclusionMeshesCoverTheHiddenRimOfEachView) {
  std::vector<ZerinOcclusionMesh*> meshes;
  for (int32_t view = 0; view < ZERIN_VIEW_COUNT; ++view) {
    ZerinOcclusionMesh* mesh = zerin_CreateOcclusionMesh(session, view, 1);
    ASSERT_NE(mesh, nullptr);
    meshes.push_back(mesh);
    EXPECT_EQ(mesh->viewIndex, view);
    ASSERT_GT(mesh->vertexCount, 0);
    EXPECT_EQ(mesh->vertexCount % 3, 0);
    double area = 0;
    for (int32_t i = 0; i < mesh->vertexCount; i += 3) {
      const double twice = cross(mesh->vertices[i], mesh->vertices[i + 1], mesh->vertices[i + 2]);
      EXPECT_GT(twice, 0) << "counter-clockwise, not degenerate: triangle " << i / 3;
      area += twice / 2;
    }
    for (int32_t i = 0; i < mesh->vertexCount; ++i) {
      EXPECT_LE(std::fabs(mesh->vertices[i].x), 1.0f + 1e-6f);
      EXPECT_LE(std::fabs(mesh->vertices[i].y), 1.0f + 1e-6f);
    }
    // The visible middle is free; the corners and edges are hidden exactly once.
    EXPECT_EQ(coverage(*mesh, 0.0f, 0.0f), 0);
    EXPECT_EQ(coverage(*mesh, 0.5f, -0.4f), 0);
    for (float x : {-0.995f, 0.995f})
      for (float y : {-0.995f, 0.995f}) EXPECT_EQ(coverage(*mesh, x, y), 1) << view << " at " << x << ", " << y;
    EXPECT_EQ(coverage(*mesh, 0.013f, 0.99f), 1);
    EXPECT_GT(area, 0.8);
    EXPECT_LT(area, 1.6);
  }
  EXPECT_NE(std::memcmp(meshes[0]->vertices, meshes[1]->vertices, sizeof(ZerinOcclusionVertex) * 6), 0)
      << "each eye has its own shape";
  EXPECT_FALSE(meshes[0]->vertexCount == meshes[2]->vertexCount &&
               std::memcmp(meshes[0]->vertices, meshes[2]->vertices,
                           sizeof(ZerinOcclusionVertex) * static_cast<size_t>(meshes[0]->vertexCount)) == 0)
      << "the wide views have their own shape";
  EXPECT_EQ(zerinsim_LiveObjectCount("occlusionMesh"), 4);
  for (auto* mesh : meshes) zerin_FreeOcclusionMesh(mesh);
  EXPECT_EQ(zerinsim_LiveObjectCount("occlusionMesh"), 0);
  EXPECT_EQ(zerin_GetError(session), 0);
}

TEST_F(SimDevices, OcclusionMeshesRefuseBadViewsFlagsAndFrees) {
  EXPECT_EQ(zerin_CreateOcclusionMesh(session, 4, 1), nullptr);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
  EXPECT_EQ(zerin_CreateOcclusionMesh(session, -1, 1), nullptr);
  EXPECT_EQ(zerin_CreateOcclusionMesh(session, 0, 0), nullptr);
  EXPECT_EQ(zerin_GetError(session), ZERIN_ERROR_INVALID_ARGUMENT);
  ZerinOcclusionMesh* mesh = zerin_CreateOcclusionMesh(session, 1, 1);
  zerin_FreeOcclusionMesh(nullptr);
  EXPECT_EQ(zerin_GetError(session), 0);
  zerin_FreeOcclusionMesh(mesh);
  zerin_FreeOcclusionMesh(mesh);
  EXPECT_EQ(zerin_GetError(nullptr), ZERIN_ERROR_INVALID_ARGUMENT) << "a second free is caught (the library's error)";
  EXPECT_EQ(ZerinSim::callsTo("zerin_CreateOcclusionMesh")[3], "zerin_CreateOcclusionMesh(session#1, 1, 1) -> occlusionMesh#1");
}

}  // namespace
