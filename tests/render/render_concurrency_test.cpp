// The render thread and a script thread at once: frame data read while frames are published,
// SyncRenderThread in lockstep with frame syncs, and sessions ended while render events keep
// coming. Run under ThreadSanitizer as well as AddressSanitizer.
#include <atomic>
#include <thread>

#include "render_fixture.h"

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
      render.GetFramePoseData(&data);
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
  render.GetFramePoseData(&data);
  EXPECT_EQ(frameOf(data), kFrames);
  for (int i = 0; i < kFrames; ++i) render.SyncRenderThread();  // one signal each, all counted
}

TEST_F(RenderConcurrency, EachSyncRenderThreadReturnsWithItsOwnFramePublished) {
  openSession();
  zerinsim_SetFrameRate(1000.0);  // a real clock, fast enough for a short test
  FramePoseData data{};
  for (int64_t frame = 1; frame <= 200; ++frame) {
    host->renderThread().issuePluginEvent(20);
    render.SyncRenderThread();
    render.GetFramePoseData(&data);
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
    SwapchainSlot* a = render.QueueCreateD3D11Swapchain(&config);
    SwapchainSlot* b = render.QueueCreateD3D11Swapchain(&config);
    host->renderThread().issuePluginEvent(13);
    for (int frame = 0; frame < round % 4; ++frame) {
      SubmissionLayer layer = colourLayer({a, b, a, b}, texture.get(), 4, 4, frame);
      render.QueueSubmission(1, &layer);
      host->renderThread().issuePluginEvent(11);
      render.SyncRenderThread();
      ++syncs;
      render.GetFramePoseData(&data);
    }
    // A slot may go only once no queued submission names it any more: the submissions' events
    // must have run before the destroy is queued, or an event 13 already waiting would free the
    // slot under them.
    host->renderThread().waitUntilIdle();
    render.QueueDestroySwapchain(a);
    render.QueueDestroySwapchain(b);
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

}  // namespace
}  // namespace ZerinTest
