// What a frame costs the engine's render thread inside the plug-in: event 10 (begin) and event
// 11 (acquire, colour copy, depth pass, release, end) for a submission of up to four layers of
// four views with depth, against the simulated runtime and the software device. The benchmark
// thread plays the render thread and calls the plug-in's render-event callback directly.
#include <benchmark/benchmark.h>

#include <cstring>

#include "engine_host.h"
#include "gfx_textures.h"
#include "render/render_state.h"
#include "zerin_sim_control.h"

namespace {

using ZerinSim::Gfx::Ref;
constexpr UINT kSize = 256;

void SubmitFrame(benchmark::State& state) {
  const int layers = static_cast<int>(state.range(0));
  const bool depth = state.range(1) != 0;
  zerinsim_Reset();
  zerinsim_SetCallLogging(0);
  zerinsim_SetFrameRate(0);
  ZerinSim::EngineHost host({true, true, true});
  if (!host.load()) return state.SkipWithError(("plug-in did not load: " + host.error()).c_str());
  auto initSession = host.function<bool (*)()>("InitSession");
  auto endSession = host.function<void (*)()>("EndSession");
  auto queueCreate = host.function<Zerin::SwapchainSlot* (*)(const Zerin::SwapchainConfig*)>("QueueCreateD3D11Swapchain");
  auto queueSubmission = host.function<void (*)(int32_t, const Zerin::SubmissionLayer*)>("QueueSubmission");
  auto renderEvent = host.function<UnityRenderingEvent (*)()>("GetRenderEventFunc")();
  if (!initSession()) return state.SkipWithError("no session");

  const Zerin::SwapchainConfig colourConfig{kSize, kSize, DXGI_FORMAT_R8G8B8A8_UNORM, 1, 1, ZERIN_SWAPCHAIN_USAGE_COLOUR};
  const Zerin::SwapchainConfig depthConfig{kSize, kSize, DXGI_FORMAT_R32_TYPELESS, 1, 1, ZERIN_SWAPCHAIN_USAGE_DEPTH};
  Ref<ID3D11Texture2D> colour = ZerinSim::Gfx::createTexture(host.device(), kSize, kSize, DXGI_FORMAT_R8G8B8A8_UNORM,
                                                             D3D11_BIND_SHADER_RESOURCE, nullptr);
  Ref<ID3D11Texture2D> engineDepth = ZerinSim::Gfx::createTexture(
      host.device(), kSize, kSize, DXGI_FORMAT_R32G8X24_TYPELESS, D3D11_BIND_DEPTH_STENCIL | D3D11_BIND_SHADER_RESOURCE, nullptr);
  std::vector<Zerin::SubmissionLayer> submission(static_cast<size_t>(layers));
  for (auto& layer : submission) {
    std::memset(&layer, 0, sizeof layer);
    for (auto& view : layer.views) {
      view.colourSlot = queueCreate(&colourConfig);
      view.colourViewport = {0, 0, kSize, kSize, 0};
      view.colourTexture = colour.get();
      view.hasDepth = depth;
      view.depthSlot = depth ? queueCreate(&depthConfig) : nullptr;
      view.depthViewport = view.colourViewport;
      view.depthTexture = engineDepth.get();
    }
  }
  renderEvent(13);
  for (auto _ : state) {
    queueSubmission(layers, submission.data());
    renderEvent(10);
    renderEvent(11);
  }
  zerinsim_ClearSubmittedFrames();
  endSession();
  colour.reset();
  engineDepth.reset();
  host.unload();
  state.SetLabel(std::to_string(layers * 4) + " views" + (depth ? " with depth" : ""));
}
BENCHMARK(SubmitFrame)->Args({1, 0})->Args({2, 1})->Args({4, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
