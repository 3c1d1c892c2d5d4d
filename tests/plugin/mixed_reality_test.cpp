// The mixed-reality and occlusion-mesh exports against the simulated runtime's devices, with
// frames delivered on the runtime's own threads.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <regex>
#include <thread>

#include "events_gaze_mr_fixture.h"

namespace {

using ZerinSim::calls;
using ZerinSim::callsTo;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;

constexpr auto kPatience = 10s;  // far beyond any wait these tests need
const std::string kAllChannels = "18446744073709551615";

ZerinDataStreamConfig config(int64_t id, uint8_t channels, int64_t type, int64_t buffer = ZERIN_STREAM_BUFFER_CPU) {
  ZerinDataStreamConfig made{};
  made.streamId = id;
  made.channelFlags = channels;
  made.streamType = type;
  made.bufferType = buffer;
  made.width = 8;
  made.height = 4;
  made.framesPerSecond = 60;
  return made;
}

void offer(const std::vector<ZerinDataStreamConfig>& configs) {
  static const ZerinDataStreamConfig none{};  // not null: null brings back the default list
  zerinsim_SetDataStreamConfigs(configs.empty() ? &none : configs.data(), static_cast<int32_t>(configs.size()));
}

// Call lines with the plug-in's pointers (buffers, trampoline, user data) named "pointer".
Lines withPointersNamed(const Lines& lines) {
  Lines named;
  for (const auto& line : lines) named.push_back(std::regex_replace(line, std::regex("0x[0-9a-f]+"), "pointer"));
  return named;
}

using MixedReality = ZerinTest::DevicesTest;

/* ---- Availability ------------------------------------------------------------------------- */

TEST_F(MixedReality, IsAvailableSyncsThePropertiesAndReadsTheFlag) {
  EXPECT_TRUE(plugin.MRIsAvailable());
  EXPECT_EQ(calls(), (Lines{"zerin_SyncProperties(session#1)", "zerin_HasProperty(session#1, 53248) -> 1",
                            "zerin_GetPropertyBool(session#1, 53248) -> 1"}));
  zerinsim_SetDeviceProperty(ZERIN_PROPERTY_MR_AVAILABLE, 0);
  EXPECT_FALSE(plugin.MRIsAvailable()) << "the sync brings the device's new value";

  zerinsim_RemoveDeviceProperty(ZERIN_PROPERTY_MR_AVAILABLE);
  zerinsim_ClearCalls();
  EXPECT_FALSE(plugin.MRIsAvailable());
  EXPECT_EQ(calls(), (Lines{"zerin_SyncProperties(session#1)", "zerin_HasProperty(session#1, 53248) -> 0"}));
  EXPECT_EQ(plugin.GetError(), 0);

  plugin.EndSession();
  clearLogs();
  EXPECT_FALSE(plugin.MRIsAvailable());
  EXPECT_TRUE(calls().empty());
}

/* ---- Finding a stream --------------------------------------------------------------------- */

TEST_F(MixedReality, KindsOtherThanOneAndTwoAreNeverOfferedAndNeverAsked) {
  for (int64_t kind : std::vector<int64_t>{3, 0, -1, 4, int64_t{1} << 40}) {
    EXPECT_FALSE(plugin.MRSupportsDataStream(kind)) << kind;
    EXPECT_FALSE(plugin.MRStartDataStream(
        kind, [](const void*, void*) {}, nullptr))
        << kind;
  }
  EXPECT_TRUE(calls().empty());
}

TEST_F(MixedReality, TheDefaultDevicesOfferBothKindsOnTheirCpuStreams) {
  EXPECT_TRUE(plugin.MRSupportsDataStream(1));
  EXPECT_EQ(withPointersNamed(calls()),
            (Lines{"zerin_GetDataStreamConfigCount(session#1) -> 3", "zerin_GetDataStreamConfigs(session#1, pointer, 3) -> 3"}));
  EXPECT_TRUE(plugin.MRSupportsDataStream(2));
  EXPECT_EQ(callsTo("zerin_GetDataStreamConfigCount").size(), 2u) << "the list is fetched anew every time";
}

TEST_F(MixedReality, KindTwoNeedsTheFirstChannelAndKindOneBoth) {
  const int64_t depth = ZERIN_STREAM_TYPE_DEPTH_CAMERA, stereo = ZERIN_STREAM_TYPE_STEREO_CAMERA;
  offer({config(1, 0x2, depth), config(2, 0xFE, depth)});
  EXPECT_FALSE(plugin.MRSupportsDataStream(2)) << "bit 0 clear";
  offer({config(1, 0x2, depth), config(2, 0x1, depth)});
  EXPECT_TRUE(plugin.MRSupportsDataStream(2));

  offer({config(1, 0x1, stereo), config(2, 0x2, stereo), config(3, 0x3, stereo, 2), config(4, 0x3, depth)});
  EXPECT_FALSE(plugin.MRSupportsDataStream(1)) << "one channel, the other, a GPU buffer, the wrong type";
  EXPECT_TRUE(plugin.MRSupportsDataStream(2)) << "a depth stream with both bits serves kind 2";
  offer({config(1, 0x7, stereo)});
  EXPECT_TRUE(plugin.MRSupportsDataStream(1)) << "further bits do not matter";
  EXPECT_FALSE(plugin.MRSupportsDataStream(2));
  offer({});
  EXPECT_FALSE(plugin.MRSupportsDataStream(1));
  EXPECT_EQ(callsTo("zerin_GetDataStreamConfigs").size(), 6u) << "an empty list is not fetched";
}

TEST_F(MixedReality, TheFirstMatchingConfigurationInTheRuntimesOrderWins) {
  const int64_t stereo = ZERIN_STREAM_TYPE_STEREO_CAMERA;
  offer({config(30, 0x3, stereo, 2), config(31, 0x3, stereo), config(32, 0x3, stereo)});
  ASSERT_TRUE(plugin.MRStartDataStream(
      1, [](const void*, void*) {}, nullptr));
  EXPECT_EQ(withPointersNamed(callsTo("zerin_StartDataStream")),
            (Lines{"zerin_StartDataStream(session#1, 31, " + kAllChannels + ", pointer, null)"}));
  plugin.MRStopDataStream(1);
  EXPECT_EQ(callsTo("zerin_StopDataStream"), (Lines{"zerin_StopDataStream(session#1, 31)"}));
}

/* ---- Starting and stopping ---------------------------------------------------------------- */

void ignoreFrame(const void*, void*) {}

TEST_F(MixedReality, ASecondStartOfAKindIsRefusedWithoutTheRuntimeAndStopThenStartWorks) {
  int userData = 0;
  ASSERT_TRUE(plugin.MRStartDataStream(1, &ignoreFrame, &userData));
  zerinsim_ClearCalls();
  EXPECT_FALSE(plugin.MRStartDataStream(1, &ignoreFrame, &userData));
  EXPECT_TRUE(calls().empty());

  plugin.MRStopDataStream(1);
  EXPECT_EQ(calls(), (Lines{"zerin_StopDataStream(session#1, 257)"}));
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  EXPECT_TRUE(plugin.MRStartDataStream(1, &ignoreFrame, &userData));
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 1);
  EXPECT_TRUE(plugin.MRStartDataStream(2, &ignoreFrame, &userData)) << "kinds are independent";
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 2);
}

TEST_F(MixedReality, StoppingAKindNeverStartedOrWithoutASessionDoesNothing) {
  plugin.MRStopDataStream(1);
  plugin.MRStopDataStream(3);
  EXPECT_TRUE(calls().empty());
  ASSERT_TRUE(plugin.MRStartDataStream(2, &ignoreFrame, nullptr));
  plugin.EndSession();
  clearLogs();
  plugin.MRStopDataStream(2);
  EXPECT_FALSE(plugin.MRStartDataStream(2, &ignoreFrame, nullptr));
  EXPECT_FALSE(plugin.MRSupportsDataStream(2));
  EXPECT_TRUE(calls().empty());
}

TEST_F(MixedReality, AStartWithoutACallbackIsRefusedBeforeTheRuntime) {
  EXPECT_FALSE(plugin.MRStartDataStream(1, nullptr, nullptr));
  EXPECT_TRUE(calls().empty());
  EXPECT_TRUE(plugin.MRStartDataStream(1, &ignoreFrame, nullptr)) << "nothing was registered";
}

TEST_F(MixedReality, AStartTheRuntimeRefusesIsFalseAndStaysRegisteredUntilStopped) {
  zerinsim_FailNextCall("zerin_StartDataStream", ZERIN_ERROR_DEVICE_LOST);
  EXPECT_FALSE(plugin.MRStartDataStream(2, &ignoreFrame, nullptr));
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);
  zerinsim_ClearCalls();
  EXPECT_FALSE(plugin.MRStartDataStream(2, &ignoreFrame, nullptr)) << "the kind counts as started";
  EXPECT_TRUE(calls().empty());
  plugin.MRStopDataStream(2);
  EXPECT_EQ(callsTo("zerin_StopDataStream"), (Lines{"zerin_StopDataStream(session#1, 513)"}));
  EXPECT_EQ(plugin.GetError(), ZERIN_ERROR_NOT_FOUND) << "the runtime never started it";
  EXPECT_TRUE(plugin.MRStartDataStream(2, &ignoreFrame, nullptr));
}

/* ---- Frames ------------------------------------------------------------------------------- */

// What one script callback saw; shared with the delivery threads.
struct Received {
  const char* expectedCallback;
  std::mutex mutex;  // guards everything below
  std::condition_variable changed;
  int frames = 0;
  std::vector<std::string> callbacks;
  std::vector<int64_t> streamTypes;
  std::vector<int64_t> streamIds;
  std::vector<int64_t> deliveringStreams;
  std::vector<std::thread::id> threads;

  explicit Received(const char* callback) : expectedCallback(callback) {}

  void record(const char* callback, const void* frame) {
    const auto& runtimeFrame = *static_cast<const ZerinStreamFrame*>(frame);
    std::lock_guard<std::mutex> lock(mutex);
    ++frames;
    callbacks.push_back(callback);
    streamTypes.push_back(runtimeFrame.streamType);
    streamIds.push_back(runtimeFrame.streamId);
    deliveringStreams.push_back(zerinsim_DeliveryThreadStream());
    threads.push_back(std::this_thread::get_id());
    changed.notify_all();
  }
  bool waitForFrames(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return frames >= count; });
  }
  int frameCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames;
  }
};

// Ends the session, and so every stream, when it goes: declared after the records that
// callbacks write, it keeps them alive until no callback can run, also when an assertion ends
// the test early.
struct EndsSession {
  const ZerinSim::BridgeExports& plugin;
  ~EndsSession() {
    if (!plugin.IsSessionNull()) plugin.EndSession();
  }
};

void stereoCallback(const void* frame, void* userData) { static_cast<Received*>(userData)->record("stereo", frame); }
void depthCallback(const void* frame, void* userData) { static_cast<Received*>(userData)->record("depth", frame); }

TEST_F(MixedReality, FramesReachTheRightCallbackWithTheScriptsUserDataOnTheDeliveryThread) {
  zerinsim_SetStreamFrameInterval(500);
  Received stereo("stereo"), depth("depth");
  const EndsSession ends{plugin};
  ASSERT_TRUE(plugin.MRStartDataStream(1, &stereoCallback, &stereo));
  ASSERT_TRUE(plugin.MRStartDataStream(2, &depthCallback, &depth));
  ASSERT_TRUE(stereo.waitForFrames(6));
  ASSERT_TRUE(depth.waitForFrames(3));
  plugin.MRStopDataStream(1);
  plugin.MRStopDataStream(2);

  for (Received* received : {&stereo, &depth}) {
    std::lock_guard<std::mutex> lock(received->mutex);
    const bool isStereo = received == &stereo;
    for (size_t i = 0; i < received->callbacks.size(); ++i) {
      EXPECT_EQ(received->callbacks[i], received->expectedCallback);
      EXPECT_EQ(received->streamTypes[i], isStereo ? 1 : 2);
      EXPECT_EQ(received->streamIds[i], isStereo ? 0x101 : 0x201);
      EXPECT_EQ(received->deliveringStreams[i], received->streamIds[i]) << "on the stream's own delivery thread";
      EXPECT_NE(received->threads[i], std::this_thread::get_id());
    }
  }
  std::lock_guard<std::mutex> lock(stereo.mutex);
  EXPECT_EQ(stereo.frames % 2, 0) << "a frame for each of the two channels";
  EXPECT_EQ(withPointersNamed(callsTo("zerin_StartDataStream")),
            (Lines{"zerin_StartDataStream(session#1, 257, " + kAllChannels + ", pointer, pointer)",
                   "zerin_StartDataStream(session#1, 513, " + kAllChannels + ", pointer, pointer)"}));
}

TEST_F(MixedReality, EndSessionStopsEveryStreamBeforeShuttingTheSessionDown) {
  zerinsim_SetStreamFrameInterval(0);
  Received stereo("stereo"), depth("depth"), later("depth");
  const EndsSession ends{plugin};
  ASSERT_TRUE(plugin.MRStartDataStream(1, &stereoCallback, &stereo));
  ASSERT_TRUE(plugin.MRStartDataStream(2, &depthCallback, &depth));
  ASSERT_TRUE(stereo.waitForFrames(2));
  ASSERT_TRUE(depth.waitForFrames(2));
  zerinsim_ClearCalls();
  plugin.EndSession();
  const int stereoAtEnd = stereo.frameCount(), depthAtEnd = depth.frameCount();
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);

  Lines logged = calls();
  const auto shutdown = std::find(logged.begin(), logged.end(), "zerin_SessionShutDown(session#1)");
  ASSERT_NE(shutdown, logged.end());
  Lines stops(logged.begin(), shutdown);
  stops.erase(std::remove_if(stops.begin(), stops.end(),
                             [](const std::string& line) { return line.rfind("zerin_StopDataStream(", 0) != 0; }),
              stops.end());
  std::sort(stops.begin(), stops.end());  // the registry keeps no order
  EXPECT_EQ(stops, (Lines{"zerin_StopDataStream(session#1, 257)", "zerin_StopDataStream(session#1, 513)"}));

  // A new session's stream runs while the old callbacks stay silent.
  ASSERT_TRUE(plugin.InitSession());
  ASSERT_TRUE(plugin.MRStartDataStream(2, &depthCallback, &later));
  ASSERT_TRUE(later.waitForFrames(50));
  EXPECT_EQ(stereo.frameCount(), stereoAtEnd);
  EXPECT_EQ(depth.frameCount(), depthAtEnd);
  EXPECT_TRUE(plugin.MRStartDataStream(1, &stereoCallback, &stereo)) << "EndSession emptied the registry";
}

/* ---- Starting and stopping while frames arrive -------------------------------------------- */

// One start of a stream: its callback must not run once its stop has returned.
struct Generation {
  std::atomic<bool> stopped{false};
  std::atomic<int> frames{0};
  std::atomic<int> framesAfterStop{0};
  std::atomic<int> wrongType{0};
};

void countGenerationFrame(const void* frame, void* userData) {
  auto& generation = *static_cast<Generation*>(userData);
  if (generation.stopped.load()) ++generation.framesAfterStop;
  if (static_cast<const ZerinStreamFrame*>(frame)->streamType != ZERIN_STREAM_TYPE_STEREO_CAMERA) ++generation.wrongType;
  ++generation.frames;
}

struct Steady {
  std::atomic<int> frames{0};
  std::atomic<int> wrongType{0};
};

void countSteadyFrame(const void* frame, void* userData) {
  auto& steady = *static_cast<Steady*>(userData);
  if (static_cast<const ZerinStreamFrame*>(frame)->streamType != ZERIN_STREAM_TYPE_DEPTH_CAMERA) ++steady.wrongType;
  ++steady.frames;
}

TEST_F(MixedReality, StartingAndStoppingThousandsOfTimesWhileFramesArriveMissesNoStop) {
  constexpr int kCycles = 2000;
  // Each stream delivers its first frame at once and then one every 200 microseconds: stops meet
  // busy streams without the delivery threads taking every core.
  zerinsim_SetStreamFrameInterval(200);
  Steady steady;
  std::vector<std::unique_ptr<Generation>> generations;  // kept, so that a late frame is counted
  const EndsSession ends{plugin};
  ASSERT_TRUE(plugin.MRStartDataStream(2, &countSteadyFrame, &steady));
  int missedStops = 0, cyclesWithFrames = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    generations.push_back(std::make_unique<Generation>());
    Generation& generation = *generations.back();
    ASSERT_TRUE(plugin.MRStartDataStream(1, &countGenerationFrame, &generation)) << "cycle " << cycle;
    // Now and then let the stream run until it has delivered, so that stops also meet frames.
    if (cycle % 50 == 0) {
      const auto deadline = std::chrono::steady_clock::now() + kPatience;
      while (generation.frames.load() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    plugin.MRStopDataStream(1);
    generation.stopped = true;
    if (zerinsim_ActiveStreamCount() != 1) ++missedStops;
    if (generation.frames.load() > 0) ++cyclesWithFrames;
  }
  plugin.MRStopDataStream(2);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 0);

  int late = 0, wrong = 0;
  for (const auto& generation : generations) {
    late += generation->framesAfterStop.load();
    wrong += generation->wrongType.load();
  }
  EXPECT_EQ(missedStops, 0);
  EXPECT_EQ(late, 0) << "callbacks after their stop had returned";
  EXPECT_EQ(wrong + steady.wrongType.load(), 0) << "frames at the other kind's callback";
  EXPECT_GE(cyclesWithFrames, kCycles / 50);
  EXPECT_GT(steady.frames.load(), 0);
  EXPECT_EQ(callsTo("zerin_StartDataStream").size(), static_cast<size_t>(kCycles + 1));
  EXPECT_EQ(callsTo("zerin_StopDataStream").size(), static_cast<size_t>(kCycles + 1));
}

// A frame callback that sleeps in its first frame, and counts the frames it is handed.
struct Sleepy {
  std::atomic<int> frames{0};
  std::atomic<bool> inFirstFrame{false};
  std::atomic<bool> firstFrameDone{false};
};

void sleepInFirstFrame(const void*, void* userData) {
  auto& sleepy = *static_cast<Sleepy*>(userData);
  if (sleepy.frames++ > 0) return;
  sleepy.inFirstFrame = true;
  std::this_thread::sleep_for(200ms);
  sleepy.firstFrameDone = true;
}

TEST_F(MixedReality, AStopTheRuntimeFailsStillWaitsForTheFrameInTheCallbackAndEndsTheFrames) {
  zerinsim_SetStreamFrameInterval(500);
  Sleepy sleepy;
  const EndsSession ends{plugin};
  ASSERT_TRUE(plugin.MRStartDataStream(1, &sleepInFirstFrame, &sleepy));
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!sleepy.inFirstFrame && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  ASSERT_TRUE(sleepy.inFirstFrame);
  zerinsim_FailNextCall("zerin_StopDataStream", ZERIN_ERROR_INVALID_STATE);
  plugin.MRStopDataStream(1);
  EXPECT_TRUE(sleepy.firstFrameDone) << "returned while the callback still ran";
  const int framesAtStop = sleepy.frames;
  // The runtime goes on delivering: the plug-in must hand the callback none of it.
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(zerinsim_ActiveStreamCount(), 1);
  EXPECT_EQ(sleepy.frames, framesAtStop);
}

/* ---- Occlusion mesh ----------------------------------------------------------------------- */

TEST_F(MixedReality, OcclusionMeshWithoutASessionIsNullAndLeavesTheOutputsAlone) {
  plugin.EndSession();
  clearLogs();
  int32_t count = -5;
  void* data = &count;
  EXPECT_EQ(plugin.CreateOcclusionMesh(0, &count, &data), nullptr);
  EXPECT_EQ(count, -5);
  EXPECT_EQ(data, &count);
  EXPECT_TRUE(calls().empty());
}

TEST_F(MixedReality, OcclusionMeshHandsOutTheRuntimesMeshAndItsVertices) {
  int32_t count = -5;
  void* data = nullptr;
  ZerinOcclusionMesh* mesh = plugin.CreateOcclusionMesh(1, &count, &data);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(mesh, zerinsim_FindObject("occlusionMesh#1"));
  EXPECT_EQ(count, mesh->vertexCount);
  EXPECT_GT(count, 0);
  EXPECT_EQ(data, mesh->vertices);
  EXPECT_EQ(data, zerinsim_FindObject("occlusionMesh#1.vertices"));
  EXPECT_EQ(mesh->viewIndex, 1);

  ZerinOcclusionMesh* bare = plugin.CreateOcclusionMesh(3, nullptr, nullptr);
  ASSERT_NE(bare, nullptr) << "no outputs wanted, still a mesh";
  EXPECT_EQ(bare->viewIndex, 3);
  plugin.FreeOcclusionMesh(mesh);
  plugin.FreeOcclusionMesh(bare);
  plugin.FreeOcclusionMesh(nullptr);
  EXPECT_EQ(calls(), (Lines{"zerin_CreateOcclusionMesh(session#1, 1, 1) -> occlusionMesh#1",
                            "zerin_CreateOcclusionMesh(session#1, 3, 1) -> occlusionMesh#2",
                            "zerin_FreeOcclusionMesh(occlusionMesh#1)", "zerin_FreeOcclusionMesh(occlusionMesh#2)"}));
  EXPECT_EQ(zerinsim_LiveObjectCount("occlusionMesh"), 0);
}

TEST_F(MixedReality, AnOcclusionMeshTheRuntimeRefusesIsNullAndLeavesTheOutputsAlone) {
  int32_t count = -5;
  void* data = &count;
  EXPECT_EQ(plugin.CreateOcclusionMesh(9, &count, &data), nullptr);
  EXPECT_EQ(count, -5);
  EXPECT_EQ(data, &count);
  EXPECT_EQ(calls(), (Lines{"zerin_CreateOcclusionMesh(session#1, 9, 1) -> null"}));
}

}  // namespace
