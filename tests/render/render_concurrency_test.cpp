// The render thread and a script thread at once: frame data read while frames are published,
// SyncRenderThread in lockstep with frame syncs, and sessions ended while render events keep
// coming. Run under ThreadSanitizer as well as AddressSanitizer.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "render_fixture.h"
#include "zerin_version.h"

namespace ZerinTest {
namespace {

// The frame a snapshot belongs to, or -1 when its views and poses disagree.
int64_t frameOf(const FramePoseData& data) {
  const double frame = data.views[0].pose.m[3];
  for (int view = 0; view < 4; ++view) {
    if (data.views[view].pose.m[3] != frame) return -1;
    if (frame > 0 && data.views[view].pose.m[7] != view) return -1;
  }
  for (int kind = 1; kind <= 3; ++kind) {
    if (data.poses[kind - 1].m[3] != frame) return -1;
    if (frame > 0 && data.poses[kind - 1].m[7] != kind) return -1;
  }
  return static_cast<int64_t>(frame);
}

using RenderConcurrency = RenderTest;

TEST_F(RenderConcurrency, FramePoseDataNeverMixesViewsOfOneFrameWithPosesOfAnother) {
  openSession();
  // A paced clock keeps the frames coming while the script reads (400 frames in 0.2 s).
  zerinsim_SetFrameRate(2000.0);
  constexpr int kFrames = 400;
  std::atomic<bool> done{false};
  int64_t mixed = 0, reads = 0, backwards = 0, distinct = 0, latest = 0;
  std::thread script([&] {
    FramePoseData data{};
    while (!done.load()) {
      plugin.GetFramePoseData(&data);
      // Before the first sync the record holds what the runtime made it with.
      if (data.views[0].pose.m[3] == 0.0) continue;
      const int64_t frame = frameOf(data);
      ++reads;
      if (frame < 0) {
        ++mixed;
      } else {
        if (frame < latest) ++backwards;
        if (frame > latest) ++distinct;
        latest = std::max(latest, frame);
      }
    }
  });
  for (int i = 0; i < kFrames; ++i) host->renderThread().issuePluginEvent(20);
  host->renderThread().waitUntilIdle();
  done.store(true);
  script.join();

  EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
  EXPECT_EQ(backwards, 0);
  EXPECT_GT(distinct, 1) << "the reads saw frames change";
  FramePoseData data{};
  plugin.GetFramePoseData(&data);
  EXPECT_EQ(frameOf(data), kFrames);
  for (int i = 0; i < kFrames; ++i) plugin.SyncRenderThread();  // one signal each, all counted
}

TEST_F(RenderConcurrency, EachSyncRenderThreadReturnsWithItsOwnFramePublished) {
  openSession();
  zerinsim_SetFrameRate(1000.0);  // a real clock, fast enough for a short test
  FramePoseData data{};
  for (int64_t frame = 1; frame <= 200; ++frame) {
    host->renderThread().issuePluginEvent(20);
    plugin.SyncRenderThread();
    plugin.GetFramePoseData(&data);
    ASSERT_EQ(frameOf(data), frame);
  }
}

// A script ends and opens sessions while the engine keeps issuing render events: nothing
// deadlocks, nothing freed is used (the sanitizers watch), and every record the runtime made is
// gone with the last session. The script issues its own events 11 and 13 behind its requests,
// as a script does, and ends each session without waiting for the last of them to run.
TEST_F(RenderConcurrency, EndSessionWhileTheRenderThreadKeepsIssuingEvents) {
  std::atomic<bool> stop{false};
  std::thread engine([&] {
    while (!stop.load()) {
      for (int32_t id : {20, 10, 14, 11, 12}) host->renderThread().issuePluginEvent(id);
      host->renderThread().waitUntilIdle();
    }
  });

  const SwapchainConfig config = colourConfig(16, 16);
  auto texture = colourTexture(4, 4, std::vector<uint32_t>(16, 0xff336699));
  FramePoseData data{};
  int64_t syncs = 0;
  for (int round = 0; round < 40; ++round) {
    plugin.InitSession();  // may report an error the render thread left; the session is open
    ASSERT_FALSE(plugin.IsSessionNull());
    SwapchainSlot* a = plugin.QueueCreateD3D11Swapchain(&config);
    SwapchainSlot* b = plugin.QueueCreateD3D11Swapchain(&config);
    host->renderThread().issuePluginEvent(13);
    for (int frame = 0; frame < round % 4; ++frame) {
      SubmissionLayer layer = colourLayer({a, b, a, b}, texture.get(), 4, 4, frame);
      plugin.QueueSubmission(1, &layer);
      host->renderThread().issuePluginEvent(11);
      plugin.SyncRenderThread();
      ++syncs;
      plugin.GetFramePoseData(&data);
    }
    // A slot may go only once no queued submission names it any more: the submissions' events
    // must have run before the destroy is queued, or an event 13 already waiting would free the
    // slot under them.
    host->renderThread().waitUntilIdle();
    plugin.QueueDestroySwapchain(a);
    plugin.QueueDestroySwapchain(b);
    host->renderThread().issuePluginEvent(13);
    // Sometimes at once, sometimes once a few events have run.
    if (round % 3 == 0) host->renderThread().waitUntilIdle();
    plugin.EndSession();
  }
  stop.store(true);
  engine.join();
  host->renderThread().waitUntilIdle();

  EXPECT_GT(syncs, 0);
  for (const char* kind : {"session", "event", "frameInfo", "submitInfo", "swapChain"})
    EXPECT_EQ(zerinsim_LiveObjectCount(kind), 0) << kind;
}

// ---- the frame-sync wait and the session's end ----------------------------------------------

// The calls that free the session and its records, in order.
std::vector<std::string> recordCalls() {
  std::vector<std::string> found;
  for (const auto& line : ZerinSim::calls())
    for (const char* function :
         {"zerin_FreeFrameInfo(", "zerin_FreeSubmitInfo(", "zerin_SessionShutDown(", "zerin_FreeEvent("})
      if (line.rfind(function, 0) == 0) found.push_back(line);
  return found;
}

constexpr int32_t kWaitLimitMs = 10000;

// The runtime writes the sync record when zerin_WaitSync returns, and the session's shutdown is
// what ends the wait: the record must outlive EndSession and go after the wait.
TEST_F(RenderConcurrency, EndSessionDuringTheFrameSyncWaitLeavesTheRecordToTheRenderThread) {
  openSession();
  zerinsim_SetFrameRate(0.01);  // the next tick is 100 s away: only the shutdown ends the wait
  host->renderThread().issuePluginEvent(20);
  ASSERT_EQ(zerinsim_AwaitFrameSyncWaiters(1, kWaitLimitMs), 1);
  plugin.EndSession();
  plugin.SyncRenderThread();  // the script waiting for that sync is released
  host->renderThread().waitUntilIdle();

  EXPECT_EQ(zerinsim_WritesToFreedRecords(), 0);
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 0);
  EXPECT_EQ(recordCalls(), (std::vector<std::string>{"zerin_FreeFrameInfo(frameInfo#2)",
                                                     "zerin_FreeSubmitInfo(submitInfo#1)",
                                                     "zerin_SessionShutDown(session#1)", "zerin_FreeEvent(event#1)",
                                                     "zerin_FreeFrameInfo(frameInfo#1)"}));
  EXPECT_EQ(callbackMessages(), (std::vector<std::string>{"Shutdown session", "EndSession done."}));
}

// A runtime that returns from the wait only long after the shutdown: EndSession does not wait
// for it, sessions open and end meanwhile, and the old record goes when the wait returns, with
// nothing of the old wait published into the session open then.
TEST_F(RenderConcurrency, AWaitThatOutlivesItsSessionHoldsUpNeitherEndSessionNorLaterSessions) {
  openSession();
  zerinsim_HoldFrameSyncs(1);
  host->renderThread().issuePluginEvent(20);
  ASSERT_EQ(zerinsim_AwaitFrameSyncWaiters(1, kWaitLimitMs), 1);

  auto ending = std::async(std::launch::async, [this] { plugin.EndSession(); });
  const bool ended = ending.wait_for(std::chrono::milliseconds(kWaitLimitMs)) == std::future_status::ready;
  EXPECT_TRUE(ended) << "EndSession waited for the runtime's frame sync";
  if (!ended) zerinsim_HoldFrameSyncs(0);
  ending.get();
  EXPECT_EQ(zerinsim_LiveObjectCount("session"), 0);
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 1) << "the record the runtime still writes";

  // A whole session while the wait still runs frees its own records.
  ASSERT_TRUE(plugin.InitSession());
  plugin.EndSession();
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 1);
  EXPECT_NE(zerinsim_FindObject("frameInfo#1"), nullptr);

  ASSERT_TRUE(plugin.InitSession());
  zerinsim_HoldFrameSyncs(0);
  plugin.SyncRenderThread();
  host->renderThread().waitUntilIdle();
  EXPECT_EQ(zerinsim_WritesToFreedRecords(), 0);
  EXPECT_EQ(zerinsim_FindObject("frameInfo#1"), nullptr) << "freed once the wait returned";
  EXPECT_NE(zerinsim_FindObject("frameInfo#5"), nullptr) << "the open session's records stay";
  EXPECT_NE(zerinsim_FindObject("frameInfo#6"), nullptr);
  EXPECT_EQ(zerinsim_LiveObjectCount("frameInfo"), 2);
  FramePoseData data{};
  plugin.GetFramePoseData(&data);
  EXPECT_EQ(frameOf(data), 0) << "the old wait published into the open session";

  // The open session's frames come as usual.
  zerinsim_SetFrameRate(0);
  host->renderThread().issuePluginEvent(20);
  plugin.SyncRenderThread();
  plugin.GetFramePoseData(&data);
  EXPECT_EQ(frameOf(data), 1);
  EXPECT_EQ(zerinsim_WritesToFreedRecords(), 0);
}

// ---- the session's start ------------------------------------------------------------------------

void runEventsAndWait(void* engine) {
  auto& thread = static_cast<ZerinSim::EngineHost*>(engine)->renderThread();
  for (int32_t id : {20, 10, 11, 13, 14}) thread.issuePluginEvent(id);
  thread.waitUntilIdle();
}

// Render events that run while InitSession is half-way see no session: no runtime call with it,
// no null record handed over, no error of theirs for InitSession to read.
TEST_F(RenderConcurrency, RenderEventsDuringInitSessionSeeNoSessionBeforeItIsReady) {
  for (const char* stage : {"zerin_AllocateEvent", "zerin_CreateFrameInfo", "zerin_CreateSubmitInfo",
                            "zerin_LayoutDefaultViewports"}) {
    SCOPED_TRACE(stage);
    clearLogs();
    zerinsim_SetCallHook(stage, &runEventsAndWait, host.get());
    EXPECT_TRUE(plugin.InitSession());
    for (const auto& line : ZerinSim::calls()) {
      EXPECT_EQ(line.find(", null)"), std::string::npos) << line;
      for (const char* function : {"zerin_WaitSync", "zerin_BeginFrame", "zerin_PollEvent"})
        EXPECT_NE(line.rfind(function, 0), 0u) << line;
    }
    EXPECT_EQ(ZerinSim::callsTo("zerin_GetError").size(), 5u + 3u) << "an entry check per event, InitSession's three";
    for (const auto& message : callbackMessages()) EXPECT_NE(message.rfind("Error:", 0), 0u) << message;
    plugin.SyncRenderThread();  // the event 20 without a session
    plugin.EndSession();
  }
}

void releaseTheWait(void* engine) {
  zerinsim_HoldFrameSyncs(0);
  static_cast<ZerinSim::EngineHost*>(engine)->renderThread().waitUntilIdle();
}

// The runtime keeps a session's errors apart from those of calls made without it: a start reads
// only its own, and the render thread, which has no session meanwhile, only its own.
TEST_F(RenderConcurrency, InitSessionAndTheRenderThreadEachReadOnlyTheirOwnErrors) {
  const std::string version = ZERIN_RUNTIME_VERSION;
  const std::vector<std::string> started = {"Initialize a new session", "Lib version: " + version,
                                            "Plugin version: " + version, "Initialize d3d11"};

  // The render thread's frame-sync wait, woken by the end of the session before, returns in the
  // middle of the next start.
  openSession();
  zerinsim_HoldFrameSyncs(1);
  host->renderThread().issuePluginEvent(20);
  ASSERT_EQ(zerinsim_AwaitFrameSyncWaiters(1, kWaitLimitMs), 1);
  plugin.EndSession();
  zerinsim_SetCallHook("zerin_CreateFrameInfo", &releaseTheWait, host.get());
  clearLogs();
  EXPECT_TRUE(plugin.InitSession());
  plugin.SyncRenderThread();  // released by the returning wait
  std::vector<std::string> lines = started;
  lines.push_back("InitSession done");
  EXPECT_EQ(callbackMessages(), lines);
  plugin.EndSession();
  clearLogs();
  run({12});
  EXPECT_EQ(callbackMessages(), (std::vector<std::string>{"Error: (-3) Invalid session"}))
      << "the wait's error is left for the render thread";

  // A record the runtime fails to make while render events run.
  zerinsim_FailNextCall("zerin_CreateFrameInfo", ZERIN_ERROR_OUT_OF_MEMORY);
  zerinsim_SetCallHook("zerin_CreateSubmitInfo", &runEventsAndWait, host.get());
  clearLogs();
  EXPECT_FALSE(plugin.InitSession());
  lines = started;
  lines.push_back("Got an error: Out of memory");
  EXPECT_EQ(callbackMessages(), lines);
  plugin.SyncRenderThread();  // the event 20 without a session
  plugin.EndSession();
}

}  // namespace
}  // namespace ZerinTest
