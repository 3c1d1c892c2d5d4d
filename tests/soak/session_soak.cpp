// Sessions opened and ended over and over while the engine keeps rendering: the render thread
// runs events 20, 10, 11 and 14 at 1 kHz, a camera stream delivers, and every session makes a
// colour and a depth swap chain and submits frames with depth. Run under AddressSanitizer and
// ThreadSanitizer; at the end every runtime object must be gone and no freed record written.
//
// Usage: zerin_session_soak [--cycles N]    (default 1000)
// Prints one summary line and exits with 0 when everything held.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "command_line.h"
#include "engine_host.h"
#include "gfx_textures.h"
#include "render/render_state.h"
#include "zerin_sim_control.h"
#include "zerin_sim_devices.h"
#if !defined(_WIN32)
#include "gfx_soft_control.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;
using Zerin::SubmissionLayer;
using Zerin::SwapchainConfig;
using Zerin::SwapchainSlot;

constexpr int32_t kFrameSync = 20, kFrameStart = 10, kFrameSubmit = 11, kSwapchainRequests = 13, kEventPoll = 14;
constexpr int64_t kCameraStream = 1;
constexpr uint32_t kSize = 16;

struct Exports {
  void (*SetDebugLog)(void (*)(const char*));
  bool (*InitSession)();
  void (*EndSession)();
  bool (*IsSessionNull)();
  SwapchainSlot* (*QueueCreateD3D11Swapchain)(const SwapchainConfig*);
  void (*QueueDestroySwapchain)(SwapchainSlot*);
  void (*QueueSubmission)(int32_t, const SubmissionLayer*);
  void (*SyncRenderThread)();
  bool (*MRStartDataStream)(int64_t, void (*)(const void*, void*), void*);

  bool resolve(const ZerinSim::EngineHost& host) {
    bool complete = true;
    const auto find = [&](auto& function, const char* name) {
      function = host.function<std::remove_reference_t<decltype(function)>>(name);
      if (!function) std::fprintf(stderr, "the plug-in lacks %s\n", name);
      complete = complete && function;
    };
    find(SetDebugLog, "SetDebugLog");
    find(InitSession, "InitSession");
    find(EndSession, "EndSession");
    find(IsSessionNull, "IsSessionNull");
    find(QueueCreateD3D11Swapchain, "QueueCreateD3D11Swapchain");
    find(QueueDestroySwapchain, "QueueDestroySwapchain");
    find(QueueSubmission, "QueueSubmission");
    find(SyncRenderThread, "SyncRenderThread");
    find(MRStartDataStream, "MRStartDataStream");
    return complete;
  }
};

int32_t liveRuntimeObjects() {
  int32_t count = 0;
  for (const char* kind : {"session", "event", "frameInfo", "submitInfo", "swapChain", "occlusionMesh"})
    count += zerinsim_LiveObjectCount(kind);
  return count;
}

void countFrame(const void*, void* counter) { static_cast<std::atomic<int64_t>*>(counter)->fetch_add(1); }

// Runtime errors the render events logged ("Error: (code) text").
std::atomic<int64_t> renderErrors{0};
void countErrors(const char* message) {
  if (std::strncmp(message, "Error:", 6) == 0) renderErrors.fetch_add(1);
}

// The engine: a frame's events every millisecond, each set once the previous one has run.
class EngineLoop {
 public:
  explicit EngineLoop(ZerinSim::RenderThread& render) : render(render), thread([this] { run(); }) {}
  ~EngineLoop() { stop(); }
  void stop() {
    running.store(false);
    if (thread.joinable()) thread.join();
  }
  int64_t sets() const { return issued.load(); }

 private:
  void run() {
    auto next = Clock::now();
    while (running.load()) {
      for (int32_t id : {kFrameSync, kFrameStart, kFrameSubmit, kEventPoll}) render.issuePluginEvent(id);
      issued.fetch_add(1);
      render.waitUntilIdle();
      next += std::chrono::milliseconds(1);
      std::this_thread::sleep_until(next);  // the engine's frame pacing
    }
  }

  ZerinSim::RenderThread& render;
  std::atomic<bool> running{true};
  std::atomic<int64_t> issued{0};
  std::thread thread;  // joined by stop()
};

SubmissionLayer layerFor(SwapchainSlot* colour, SwapchainSlot* depth, ID3D11Resource* colourTexture,
                         ID3D11Resource* depthTexture) {
  SubmissionLayer layer{};
  for (auto& view : layer.views) {
    view.colourSlot = colour;
    view.colourViewport = {0, 0, int32_t(kSize), int32_t(kSize), 0};
    view.colourTexture = colourTexture;
  }
  layer.views[0].hasDepth = 1;
  layer.views[0].depthSlot = depth;
  layer.views[0].depthViewport = {0, 0, int32_t(kSize), int32_t(kSize), 0};
  layer.views[0].depthTexture = depthTexture;
  return layer;
}

}  // namespace

int main(int argc, char** argv) {
  int cycles = 1000;
  ZerinCommandLine::App app("Opens and ends sessions over and over while the engine renders.", "zerin_session_soak");
  app.add_option("--cycles", cycles, "sessions to open and end (default 1000)")->type_name("N");
  if (const auto status = app.parseOrExit(argc, argv)) return *status;
  if (cycles < 1) {
    std::fprintf(stderr, "--cycles must be at least 1\n");
    return 2;
  }

  zerinsim_Reset();
  zerinsim_SetCallLogging(0);
  zerinsim_SetFrameRate(1000.0);
  zerinsim_SetStreamFrameInterval(500);
  const int32_t objectsBefore = liveRuntimeObjects();

  ZerinSim::EngineHost host({true, true, true});
  Exports api{};
  if (!host.device() || !host.openLibrary() || !api.resolve(host)) {
    std::fprintf(stderr, "the plug-in could not be loaded: %s\n", host.error().c_str());
    return 1;
  }
  api.SetDebugLog(&countErrors);
  if (!host.callPluginLoad() || !host.startRendering()) {
    std::fprintf(stderr, "the engine host could not start: %s\n", host.error().c_str());
    return 1;
  }
  auto& render = host.renderThread();
  ID3D11Device* device = host.device();
  ZerinSim::Gfx::Ref<ID3D11Texture2D> colourTexture, depthTexture;
  render.issueTask([&] {
    colourTexture = ZerinSim::Gfx::createTexture(device, kSize, kSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                                 D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET, nullptr);
    depthTexture = host.createDepthTexture(kSize, kSize, std::vector<float>(kSize * kSize, 0.5f));
  });
  render.waitUntilIdle();
  if (!colourTexture || !depthTexture) {
    std::fprintf(stderr, "the engine textures could not be made\n");
    return 1;
  }
#if !defined(_WIN32)
  const size_t deviceObjectsBefore = ZerinSim::Gfx::liveObjects(device);
#endif

  const SwapchainConfig colourConfig{kSize, kSize, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR};
  const SwapchainConfig depthConfig{kSize, kSize, DXGI_FORMAT_D32_FLOAT, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH};
  std::atomic<int64_t> streamFrames{0};
  int64_t framesSubmitted = 0, scriptSyncs = 0, eventSets = 0, failedStarts = 0, unopened = 0, streamsRefused = 0;
  const auto start = Clock::now();
  {
    EngineLoop engine(render);
    for (int cycle = 0; cycle < cycles; ++cycle) {
      // A start reads only the new session's errors, which the render thread cannot touch before
      // the session is published: none may fail. Should one, the session may be open all the
      // same, and a script ends it before it tries again.
      if (!api.InitSession()) {
        ++failedStarts;
        if (api.IsSessionNull()) ++unopened;
        api.EndSession();
        continue;
      }
      // The start of a stream reads the session's error, which the render thread's calls share.
      if (!api.MRStartDataStream(kCameraStream, &countFrame, &streamFrames)) ++streamsRefused;
      SwapchainSlot* colour = api.QueueCreateD3D11Swapchain(&colourConfig);
      SwapchainSlot* depth = api.QueueCreateD3D11Swapchain(&depthConfig);
      render.issuePluginEvent(kSwapchainRequests);
      render.waitUntilIdle();
      // Some sessions end at once, others after a few frames.
      const SubmissionLayer layer = layerFor(colour, depth, colourTexture.get(), depthTexture.get());
      for (int frame = 0; frame < cycle % 4; ++frame) {
        api.SyncRenderThread();
        ++scriptSyncs;
        api.QueueSubmission(1, &layer);
        // The script's own frame events behind its submission, so that it is taken before the
        // swap chains go.
        render.issuePluginEvent(kFrameStart);
        render.issuePluginEvent(kFrameSubmit);
      }
      // The swap chains go once no queued submission names them; sometimes the session ends
      // before their destroy has run, and the session takes them along.
      render.waitUntilIdle();
      api.QueueDestroySwapchain(colour);
      api.QueueDestroySwapchain(depth);
      render.issuePluginEvent(kSwapchainRequests);
      if (cycle % 3 == 0) render.waitUntilIdle();
      api.EndSession();
      framesSubmitted += zerinsim_SubmittedFrameCount();
      zerinsim_ClearSubmittedFrames();
    }
    engine.stop();
    render.waitUntilIdle();
    eventSets = engine.sets();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const int32_t objectsAfter = liveRuntimeObjects();
  const int32_t freedWrites = zerinsim_WritesToFreedRecords();
  colourTexture.reset();
  depthTexture.reset();
  host.unload();  // the device shutdown releases the depth pass's objects and views
  // What the last pass left bound is the engine's to let go of, now that its thread has ended.
  ZerinSim::Gfx::Ref<ID3D11DeviceContext> context;
  device->GetImmediateContext(context.put());
  context->ClearState();

  bool ok = objectsAfter == objectsBefore && freedWrites == 0 && failedStarts == 0 && framesSubmitted > 0 &&
            streamFrames.load() > 0;
  std::string deviceText;
#if !defined(_WIN32)
  const size_t deviceObjectsAfter = ZerinSim::Gfx::liveObjects(device);
  ok = ok && deviceObjectsAfter + 2 == deviceObjectsBefore;  // the two engine textures went
  deviceText = " device-objects=" + std::to_string(deviceObjectsBefore) + "/" + std::to_string(deviceObjectsAfter);
#endif
  // On a line of its own: the plug-in's log lines on standard error end without one. "session soak:"
  // and "result=" are the soak's own text (scripts/soak-session and its test match them): must not
  // be corrected.
  std::printf(
      "\nsession soak: cycles=%d seconds=%.1f failed-starts=%lld unopened=%lld streams-refused=%lld "
      "render-errors=%lld frames-submitted=%lld script-syncs=%lld event-sets=%lld stream-frames=%lld "
      "live-runtime-objects=%d/%d freed-record-writes=%d%s result=%s\n",
      cycles, seconds, static_cast<long long>(failedStarts), static_cast<long long>(unopened),
      static_cast<long long>(streamsRefused), static_cast<long long>(renderErrors.load()),
      static_cast<long long>(framesSubmitted), static_cast<long long>(scriptSyncs), static_cast<long long>(eventSets),
      static_cast<long long>(streamFrames.load()), objectsBefore, objectsAfter, freedWrites, deviceText.c_str(),
      ok ? "OK" : "FAILED");
  return ok ? 0 : 1;
}
