// The render queue through the exports, with the engine host's render thread running the
// render events: swap-chain requests, frame syncs and SyncRenderThread, the error checks around
// every event, and the events without a session or without the Direct3D 11 interface.
#include <chrono>
#include <cstring>
#include <future>

#include "render_fixture.h"

namespace ZerinTest {
namespace {

using Lines = std::vector<std::string>;
using std::chrono::milliseconds;
using std::chrono::seconds;

// SyncRenderThread on a thread of its own, so that a test can tell a wait from a return.
std::future<void> syncAsync(const ZerinSim::BridgeExports& plugin) {
  return std::async(std::launch::async, plugin.SyncRenderThread);
}

using RenderQueue = RenderTest;

TEST_F(RenderQueue, GetRenderEventFuncHandsOutOneCallback) {
  EXPECT_NE(plugin.GetRenderEventFunc(), nullptr);
  EXPECT_EQ(plugin.GetRenderEventFunc(), plugin.GetRenderEventFunc());
}

TEST_F(RenderQueue, ASlotReadsZeroUntilAnEvent13HasRun) {
  const SwapchainConfig config = colourConfig(16, 16);
  EXPECT_EQ(plugin.QueueCreateD3D11Swapchain(&config), nullptr) << "no session, no slot";
  openSession();
  SwapchainConfig reused = config;
  SwapchainSlot* slot = plugin.QueueCreateD3D11Swapchain(&reused);
  ASSERT_NE(slot, nullptr);
  reused.width = 999;  // the request holds its own copy
  run({20, 10, 11, 14, 12});
  EXPECT_EQ(slot->handle, nullptr);
  EXPECT_TRUE(ZerinSim::callsTo("zerin_D3D11CreateSwapChain").empty());

  run({13});
  ASSERT_NE(slot->handle, nullptr);
  EXPECT_EQ(slot->handle, zerinsim_FindObject("swapChain#1"));
  ZerinSimSwapChainState state{};
  ASSERT_EQ(zerinsim_GetSwapChainState(slot->handle, &state), 1);
  EXPECT_EQ(state.config.width, 16u);
  const Lines created = ZerinSim::callsTo("zerin_D3D11CreateSwapChain");
  ASSERT_EQ(created.size(), 1u);
  EXPECT_EQ(created[0].rfind("zerin_D3D11CreateSwapChain(session#1, 0x", 0), 0u) << created[0];
  EXPECT_NE(created[0].find(") -> swapChain#1"), std::string::npos) << created[0];

  plugin.QueueDestroySwapchain(slot);
  run({13});
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 0);
}

TEST_F(RenderQueue, ACreateAndADestroyBeforeOneEvent13MakeTheSwapChainThenFreeItWithItsSlot) {
  openSession();
  const SwapchainConfig config = colourConfig(8, 8);
  SwapchainSlot* slot = plugin.QueueCreateD3D11Swapchain(&config);
  plugin.QueueDestroySwapchain(slot);
  run({13});
  // The slot is gone now (the sanitizers catch a leak or a second free).
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_D3D11CreateSwapChain", "zerin_FreeSwapChain",
                                      "zerin_GetError"}));
  EXPECT_EQ(swapChainsOf("zerin_FreeSwapChain"), (Lines{"swapChain#1"}));
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 0);
}

TEST_F(RenderQueue, ANullDestroyIsAcceptedAndSkipped) {
  plugin.QueueDestroySwapchain(nullptr);  // even without a session
  openSession();
  plugin.QueueDestroySwapchain(nullptr);
  run({13});
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_GetError"}));
}

TEST_F(RenderQueue, AFailedCreationLeavesTheSlotAtZeroAndIsReportedByTheExitCheck) {
  openSession();
  zerinsim_FailNextCall("zerin_D3D11CreateSwapChain", ZERIN_ERROR_OUT_OF_MEMORY);
  const SwapchainConfig config = colourConfig(8, 8);
  SwapchainSlot* slot = plugin.QueueCreateD3D11Swapchain(&config);
  run({13});
  EXPECT_EQ(slot->handle, nullptr);
  EXPECT_EQ(callbackMessages(), (Lines{"Error: (-6) Out of memory"}));
  plugin.QueueDestroySwapchain(slot);
  run({13});
  EXPECT_TRUE(ZerinSim::callsTo("zerin_FreeSwapChain").empty()) << "only the slot is freed";
}

TEST_F(RenderQueue, EndSessionDropsPendingRequests) {
  openSession();
  const SwapchainConfig config = colourConfig(8, 8);
  SwapchainSlot* made = plugin.QueueCreateD3D11Swapchain(&config);
  run({13});
  ASSERT_NE(made->handle, nullptr);
  SwapchainSlot* dropped = plugin.QueueCreateD3D11Swapchain(&config);
  plugin.QueueDestroySwapchain(made);  // dropped, and its slot freed with the request
  plugin.EndSession();
  EXPECT_EQ(zerinsim_LiveObjectCount("swapChain"), 0) << "the swap chain ended with the session";
  openSession();
  run({13});
  EXPECT_EQ(dropped->handle, nullptr) << "a dropped create request is never carried out";
  EXPECT_TRUE(ZerinSim::callsTo("zerin_D3D11CreateSwapChain").empty());
  EXPECT_TRUE(ZerinSim::callsTo("zerin_FreeSwapChain").empty());
  // The script still owns the slot of its dropped create and gives it back.
  plugin.QueueDestroySwapchain(dropped);
  run({13});
  EXPECT_TRUE(ZerinSim::callsTo("zerin_FreeSwapChain").empty());
}

TEST_F(RenderQueue, AnEvent20WithoutASessionReleasesOneSyncRenderThread) {
  auto first = syncAsync(plugin);
  auto second = syncAsync(plugin);
  run({20});
  // One of the two returns; the other keeps waiting for a signal of its own.
  const auto deadline = std::chrono::steady_clock::now() + seconds(10);
  int returned = 0;
  while (returned == 0 && std::chrono::steady_clock::now() < deadline)
    returned = (first.wait_for(milliseconds(10)) == std::future_status::ready) +
               (second.wait_for(milliseconds(10)) == std::future_status::ready);
  EXPECT_EQ(returned, 1);
  EXPECT_EQ((first.wait_for(milliseconds(100)) == std::future_status::ready) +
                (second.wait_for(milliseconds(0)) == std::future_status::ready),
            1);
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError"})) << "no runtime work without a session";
  run({20});
  EXPECT_EQ(first.wait_for(seconds(10)), std::future_status::ready);
  EXPECT_EQ(second.wait_for(seconds(10)), std::future_status::ready);
}

TEST_F(RenderQueue, TwoEvents20ReleaseTheNextTwoSyncsAtOnce) {
  openSession();
  run({20, 20});
  auto both = std::async(std::launch::async, [this] {
    plugin.SyncRenderThread();
    plugin.SyncRenderThread();
  });
  EXPECT_EQ(both.wait_for(seconds(10)), std::future_status::ready) << "the signals were counted";
  auto third = syncAsync(plugin);
  EXPECT_EQ(third.wait_for(milliseconds(100)), std::future_status::timeout) << "two signals, two returns";
  run({20});
  EXPECT_EQ(third.wait_for(seconds(10)), std::future_status::ready);
}

TEST_F(RenderQueue, AFrameSyncPublishesTheFramesViewsAndPosesAndMovesEvents) {
  FramePoseData data{};
  data.poses[0].m[0] = 42;
  plugin.GetFramePoseData(&data);
  EXPECT_EQ(data.poses[0].m[0], 42) << "no session: nothing is read or written";
  plugin.GetFramePoseData(nullptr);

  openSession();
  ZerinEvent event{ZERIN_EVENT_FOREGROUND, 7, {}};
  zerinsim_QueueEvent(&event);
  run({20});
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_WaitSync", "zerin_FrameGetPose", "zerin_FrameGetPose",
                                      "zerin_FrameGetPose", "zerin_PollEvent", "zerin_PollEvent", "zerin_GetError"}));
  EXPECT_EQ(ZerinSim::callsTo("zerin_WaitSync"), (Lines{"zerin_WaitSync(session#1, frameInfo#1)"}));
  const Lines poses = ZerinSim::callsTo("zerin_FrameGetPose");
  EXPECT_EQ(poses, (Lines{"zerin_FrameGetPose(session#1, 1)", "zerin_FrameGetPose(session#1, 2)",
                          "zerin_FrameGetPose(session#1, 3)"}));
  EXPECT_EQ(zerinsim_PendingEventCount(), 0);

  plugin.SyncRenderThread();
  plugin.GetFramePoseData(&data);
  const auto* shared = static_cast<ZerinFrameInfo*>(zerinsim_FindObject("frameInfo#2"));
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->frameIndex, 1);
  EXPECT_EQ(std::memcmp(data.views, shared->views, sizeof data.views), 0);
  for (int view = 0; view < 4; ++view) EXPECT_EQ(data.views[view].pose.m[3], 1.0);
  for (int kind = 1; kind <= 3; ++kind) {
    EXPECT_EQ(data.poses[kind - 1].m[3], 1.0);
    EXPECT_EQ(data.poses[kind - 1].m[7], double(kind)) << "poses 1, 2, 3 in that order";
  }
}

TEST_F(RenderQueue, AnEvent14MovesEventsOnlyWithASession) {
  ZerinEvent event{ZERIN_EVENT_VISIBILITY, 1, {}};
  zerinsim_QueueEvent(&event);
  zerinsim_QueueEvent(&event);
  run({14});
  EXPECT_EQ(zerinsim_PendingEventCount(), 2);
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError"}));
  openSession();
  run({14});
  EXPECT_EQ(zerinsim_PendingEventCount(), 0);
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_PollEvent", "zerin_PollEvent", "zerin_PollEvent",
                                      "zerin_GetError"}));
}

TEST_F(RenderQueue, AnUnknownEventRunsTheTwoErrorChecksAndNothingElse) {
  openSession();
  zerinsim_RaiseError(ZERIN_ERROR_INVALID_STATE);
  run({12});
  EXPECT_EQ(ZerinSim::calls(), (Lines{"zerin_GetError(session#1) -> -9", "zerin_GetErrorDesc(-9) -> \"Invalid state\"",
                                      "zerin_GetError(session#1) -> 0"}));
  EXPECT_EQ(callbackMessages(), (Lines{"Error: (-9) Invalid state"}));
}

TEST_F(RenderQueue, ErrorsRaisedDuringAnEventAreLoggedByTheExitCheck) {
  openSession();
  zerinsim_FailNextCall("zerin_BeginFrame", -77);
  run({10});
  EXPECT_EQ(callbackMessages(), (Lines{"Error: (-77) Unknown error code -77"}));
  EXPECT_EQ(calledFunctions(), (Lines{"zerin_GetError", "zerin_BeginFrame", "zerin_GetError", "zerin_GetErrorDesc"}));
}

TEST_F(RenderQueue, WithoutASessionEventsReturnBeforeTheExitCheck) {
  run({10, 11, 13, 14});
  EXPECT_EQ(calledFunctions(), (Lines(4, "zerin_GetError")));
  EXPECT_TRUE(callbackMessages().empty());
}

TEST_F(RenderQueue, SubmissionsAndSlotsNeedASessionAndBadInputQueuesNothing) {
  SubmissionLayer layer{};
  plugin.QueueSubmission(1, &layer);
  openSession();
  run({10, 11});
  EXPECT_TRUE(frames().empty()) << "queued without a session";
  EXPECT_EQ(plugin.QueueCreateD3D11Swapchain(nullptr), nullptr);
  plugin.QueueSubmission(2, nullptr);
  run({10, 11});
  EXPECT_TRUE(frames().empty());
  EXPECT_EQ(callbackMessages(), (Lines{"QueueCreateD3D11Swapchain: no configuration given.",
                                       "QueueSubmission: 2 layers announced, none given."}));
}

TEST_F(RenderQueue, ASessionWhoseFrameRecordsWereNotMadeStillRunsEveryEventSafely) {
  // The session stays open when its set-up fails; the records it lacks are never touched.
  zerinsim_FailNextCall("zerin_CreateFrameInfo", ZERIN_ERROR_OUT_OF_MEMORY);
  zerinsim_FailNextCall("zerin_CreateFrameInfo", ZERIN_ERROR_OUT_OF_MEMORY);
  zerinsim_FailNextCall("zerin_CreateSubmitInfo", ZERIN_ERROR_OUT_OF_MEMORY);
  EXPECT_FALSE(plugin.InitSession());
  ASSERT_FALSE(plugin.IsSessionNull());
  SwapchainSlot* a = makeSwapchain(colourConfig(16, 16));
  SubmissionLayer layer = colourLayer({a, a, a, a}, nullptr, 4, 4);
  plugin.QueueSubmission(1, &layer);
  FramePoseData data{};
  data.views[0].pose.m[0] = 42;
  run({20, 10, 11, 14});
  plugin.SyncRenderThread();
  plugin.GetFramePoseData(&data);
  EXPECT_EQ(data.views[0].pose.m[0], 42) << "no shared record to read";
  const auto submitted = frames();
  ASSERT_EQ(submitted.size(), 1u) << "the frame still reaches the runtime";
  EXPECT_EQ(submitted[0].submit.frameIndex, 0) << "no submit info to read the frame value from";
}

class WithoutD3D11 : public RenderTest {
 protected:
  ZerinSim::EngineOptions engineOptions() const override {
    ZerinSim::EngineOptions options;
    options.offerD3D11 = false;
    return options;
  }
};

TEST_F(WithoutD3D11, EveryEventReportsTheMissingHandleAndAFrameSyncStillReleasesTheScript) {
  openSession();
  const SwapchainConfig config = colourConfig(8, 8);
  SwapchainSlot* slot = plugin.QueueCreateD3D11Swapchain(&config);
  auto waiting = syncAsync(plugin);
  run({10, 11, 13, 14, 20, 12});
  EXPECT_EQ(callbackMessages(), Lines(6, "Missing Unity D3D11 handle."));
  EXPECT_EQ(calledFunctions(), Lines(6, "zerin_GetError")) << "only the entry checks";
  EXPECT_EQ(waiting.wait_for(seconds(10)), std::future_status::ready);
  EXPECT_EQ(slot->handle, nullptr);
  plugin.QueueDestroySwapchain(slot);
  plugin.EndSession();  // drops the request and frees the slot
}

}  // namespace
}  // namespace ZerinTest
